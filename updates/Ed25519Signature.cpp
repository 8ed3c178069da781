#include "updates/Ed25519Signature.h"

#include <QLibrary>
#include <memory>
#include <openssl/evp.h>
#include <optional>

namespace qw::Ed25519Signature {

namespace {

// libcrypto is opened the first time a signature is checked, not linked: a program that sits in
// the tray and never updates (or never sends anything over TLS) does not carry its megabyte and a
// half of relocated pages.
struct Crypto {
    decltype(&EVP_PKEY_new_raw_public_key) newRawPublicKey = nullptr;
    decltype(&EVP_PKEY_free) freeKey = nullptr;
    decltype(&EVP_MD_CTX_new) newContext = nullptr;
    decltype(&EVP_MD_CTX_free) freeContext = nullptr;
    decltype(&EVP_DigestVerifyInit) verifyInit = nullptr;
    decltype(&EVP_DigestVerify) verify = nullptr;

    bool isComplete() const
    {
        return newRawPublicKey && freeKey && newContext && freeContext && verifyInit && verify;
    }
};

template <typename Function> void resolve(QLibrary& library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
}

const std::optional<Crypto>& crypto()
{
    static const std::optional<Crypto> loaded = []() -> std::optional<Crypto> {
        QLibrary library(QStringLiteral("crypto"), 3);
        if (!library.load())
            return std::nullopt;
        Crypto functions;
        resolve(library, "EVP_PKEY_new_raw_public_key", functions.newRawPublicKey);
        resolve(library, "EVP_PKEY_free", functions.freeKey);
        resolve(library, "EVP_MD_CTX_new", functions.newContext);
        resolve(library, "EVP_MD_CTX_free", functions.freeContext);
        resolve(library, "EVP_DigestVerifyInit", functions.verifyInit);
        resolve(library, "EVP_DigestVerify", functions.verify);
        // The library stays loaded for the rest of the run: QLibrary does not unload on destruction.
        return functions.isComplete() ? std::optional(functions) : std::nullopt;
    }();
    return loaded;
}

} // namespace

bool verifies(const QByteArray& publicKey, const QByteArray& message, const QByteArray& signature)
{
    if (publicKey.size() != 32 || signature.size() != 64)
        return false;
    // Without libcrypto nothing can be shown to be signed, so nothing is.
    const std::optional<Crypto>& c = crypto();
    if (!c)
        return false;
    const std::unique_ptr<EVP_PKEY, decltype(c->freeKey)> key(
        c->newRawPublicKey(EVP_PKEY_ED25519, nullptr,
                           reinterpret_cast<const unsigned char*>(publicKey.constData()),
                           std::size_t(publicKey.size())),
        c->freeKey);
    if (!key)
        return false;
    const std::unique_ptr<EVP_MD_CTX, decltype(c->freeContext)> context(c->newContext(), c->freeContext);
    // Ed25519 hashes internally: no digest is named, and the message is given whole.
    if (!context || c->verifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    return c->verify(context.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                     std::size_t(signature.size()),
                     reinterpret_cast<const unsigned char*>(message.constData()),
                     std::size_t(message.size())) == 1;
}

} // namespace qw::Ed25519Signature
