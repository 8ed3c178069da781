#pragma once

#include <QString>

namespace qw::SecretDetector {

// Whether a text holds something that looks like a secret: an API token of a well-known
// form, a private key, a password or key written as an assignment ("password: …", JSON and
// configuration files, "密码：…") or stated in a sentence ("my password is …"). A secret is
// found however it is written: in full-width letters, with invisible characters inside, or
// wrapped over two lines. Keywords alone, without a value, are ordinary prose. Safe to call
// from any thread.
bool looksLikeSecret(const QString& text);
// Compiles the calling thread's patterns now, so that its first check does not wait for them.
void prepareThisThread();

} // namespace qw::SecretDetector
