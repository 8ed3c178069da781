#include "tests/updates/UpdateTestKit.h"

#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>
#include <stdexcept>

namespace qw::test {

TestSigningKey::TestSigningKey()
{
    EVP_PKEY* key = nullptr;
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    if (!context || EVP_PKEY_keygen_init(context) != 1 || EVP_PKEY_keygen(context, &key) != 1)
        throw std::runtime_error("no Ed25519 key");
    EVP_PKEY_CTX_free(context);
    m_key = key;
}

TestSigningKey::~TestSigningKey()
{
    EVP_PKEY_free(static_cast<EVP_PKEY*>(m_key));
}

QString TestSigningKey::publicKeyBase64() const
{
    QByteArray raw(32, '\0');
    std::size_t size = std::size_t(raw.size());
    EVP_PKEY_get_raw_public_key(static_cast<EVP_PKEY*>(m_key), reinterpret_cast<unsigned char*>(raw.data()),
                                &size);
    return QString::fromLatin1(raw.toBase64());
}

QByteArray TestSigningKey::sign(const QByteArray& message) const
{
    QByteArray signature(64, '\0');
    std::size_t size = std::size_t(signature.size());
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestSignInit(context, nullptr, nullptr, nullptr, static_cast<EVP_PKEY*>(m_key));
    EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                   reinterpret_cast<const unsigned char*>(message.constData()), std::size_t(message.size()));
    EVP_MD_CTX_free(context);
    return signature;
}

QByteArray tarGz(const QList<ArchiveEntry>& entries)
{
    QByteArray buffer(8 << 20, '\0');
    std::size_t used = 0;
    struct archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    archive_write_add_filter_gzip(writer);
    archive_write_open_memory(writer, buffer.data(), std::size_t(buffer.size()), &used);
    for (const ArchiveEntry& item : entries) {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.path.toUtf8().constData());
        archive_entry_set_perm(entry, item.mode);
        switch (item.kind) {
        case ArchiveEntry::Kind::file:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, item.content.size());
            break;
        case ArchiveEntry::Kind::folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            break;
        case ArchiveEntry::Kind::symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, item.content.constData());
            break;
        case ArchiveEntry::Kind::hardlink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, item.content.constData());
            break;
        }
        archive_write_header(writer, entry);
        if (item.kind == ArchiveEntry::Kind::file)
            archive_write_data(writer, item.content.constData(), std::size_t(item.content.size()));
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    buffer.truncate(qsizetype(used));
    return buffer;
}

QList<ArchiveEntry> versionTree(const QString& version)
{
    const QByteArray info =
        QStringLiteral(R"({"CFBundleShortVersionString": "%1", "QuillweaveInstallation": "user",
 "QuillweaveUpdatesEnabled": true})")
            .arg(version)
            .toUtf8();
    using K = ArchiveEntry::Kind;
    // As `tar -C <version folder> -czf … .` writes it.
    return {{QStringLiteral("./"), K::folder, {}, 0755},
            {QStringLiteral("./bin"), K::folder, {}, 0755},
            {QStringLiteral("./bin/quillweave"), K::file, "#!/bin/sh\necho " + version.toUtf8() + "\n", 0755},
            {QStringLiteral("./share/quillweave"), K::folder, {}, 0755},
            {QStringLiteral("./share/quillweave/program-info.json"), K::file, info, 0644}};
}

} // namespace qw::test
