#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace qw::test {

// An Ed25519 key pair made for one test run.
class TestSigningKey {
public:
    TestSigningKey();
    ~TestSigningKey();
    TestSigningKey(const TestSigningKey&) = delete;
    TestSigningKey& operator=(const TestSigningKey&) = delete;

    // Base64 of the 32 raw bytes, as the program's metadata carries it.
    QString publicKeyBase64() const;
    QByteArray sign(const QByteArray& message) const;

private:
    void* m_key;
};

// One entry of a test archive.
struct ArchiveEntry {
    enum class Kind { file, folder, symlink, hardlink };
    QString path;
    Kind kind = Kind::file;
    QByteArray content; // file content, or the link's target
    int mode = 0644;
};

// A gzip-compressed tar archive of the entries, in order.
QByteArray tarGz(const QList<ArchiveEntry>& entries);

// The tree of one version folder: the program and its metadata.
QList<ArchiveEntry> versionTree(const QString& version);

} // namespace qw::test
