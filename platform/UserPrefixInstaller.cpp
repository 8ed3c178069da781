#include "platform/UserPrefixInstaller.h"

#include "updates/ProgramMetadata.h"
#include "updates/UpdateFeed.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace qw {

namespace {

const QString partialMarker = QStringLiteral(".partial-");

using ArchiveReader = std::unique_ptr<struct archive, decltype(&archive_read_free)>;
using ArchiveWriter = std::unique_ptr<struct archive, decltype(&archive_write_free)>;

ArchiveReader openArchive(const QByteArray& archive)
{
    ArchiveReader reader(archive_read_new(), &archive_read_free);
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_format_tar(reader.get());
    if (archive_read_open_memory(reader.get(), archive.constData(), std::size_t(archive.size())) !=
        ARCHIVE_OK)
        return ArchiveReader(nullptr, &archive_read_free);
    return reader;
}

// A path of the archive as a clean path relative to the version folder, or none when it
// would leave that folder (absolute, "..") or names the folder itself oddly.
std::optional<QString> insidePath(const char* raw)
{
    if (!raw)
        return std::nullopt;
    const QString path = QString::fromUtf8(raw);
    if (path.isEmpty() || path.startsWith(u'/'))
        return std::nullopt;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        if (part == u"..")
            return std::nullopt;
    }
    const QString clean = QDir::cleanPath(path);
    if (clean.isEmpty() || clean.startsWith(u'/') || clean == u".." || clean.startsWith(u"../"))
        return std::nullopt;
    return clean;
}

// Whether a link at `linkPath` (relative) pointing at `target` stays inside the folder.
bool linkStaysInside(const QString& linkPath, const char* rawTarget)
{
    if (!rawTarget || *rawTarget == '\0' || *rawTarget == '/')
        return false;
    const QString parent = QFileInfo(linkPath).path();
    const QString resolved = QDir::cleanPath(parent + u'/' + QString::fromUtf8(rawTarget));
    return resolved != u".." && !resolved.startsWith(u"../") && !resolved.startsWith(u'/');
}

// Looks at every entry before anything is written: only files, folders and links, each of
// them inside the version folder.
bool everyEntryStaysInside(const QByteArray& archive)
{
    ArchiveReader reader = openArchive(archive);
    if (!reader)
        return false;
    struct archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const std::optional<QString> path = insidePath(archive_entry_pathname(entry));
        if (!path)
            return false;
        if (const char* hardlink = archive_entry_hardlink(entry)) {
            if (!insidePath(hardlink))
                return false;
            continue;
        }
        switch (archive_entry_filetype(entry)) {
        case AE_IFREG:
        case AE_IFDIR:
            break;
        case AE_IFLNK:
            if (!linkStaysInside(*path, archive_entry_symlink(entry)))
                return false;
            break;
        default:
            return false;
        }
    }
    return status == ARCHIVE_EOF;
}

bool copyData(struct archive* reader, struct archive* writer)
{
    const void* block = nullptr;
    std::size_t size = 0;
    la_int64_t offset = 0;
    int status = ARCHIVE_OK;
    while ((status = archive_read_data_block(reader, &block, &size, &offset)) == ARCHIVE_OK) {
        if (archive_write_data_block(writer, block, size, offset) != ARCHIVE_OK)
            return false;
    }
    return status == ARCHIVE_EOF;
}

// Unpacks into `folder` (a canonical path: libarchive's symlink check then sees only the
// archive's own links), refusing to write through a link or to follow "..".
bool unpack(const QByteArray& archive, const QString& folder)
{
    ArchiveReader reader = openArchive(archive);
    ArchiveWriter writer(archive_write_disk_new(), &archive_write_free);
    if (!reader || !writer)
        return false;
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                     ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                     ARCHIVE_EXTRACT_NO_OVERWRITE);
    struct archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const std::optional<QString> path = insidePath(archive_entry_pathname(entry));
        if (!path)
            return false;
        // The archive's root ("./") is the folder itself, made already.
        if (*path == u".")
            continue;
        const QByteArray target = (folder + u'/' + *path).toUtf8();
        archive_entry_set_pathname(entry, target.constData());
        if (const char* hardlink = archive_entry_hardlink(entry)) {
            const std::optional<QString> linked = insidePath(hardlink);
            if (!linked)
                return false;
            const QByteArray linkedTarget = (folder + u'/' + *linked).toUtf8();
            archive_entry_set_hardlink(entry, linkedTarget.constData());
        }
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK)
            return false;
        if (archive_entry_size(entry) > 0 && !copyData(reader.get(), writer.get()))
            return false;
        // A full disk shows here at the latest.
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK)
            return false;
    }
    return status == ARCHIVE_EOF && archive_write_close(writer.get()) == ARCHIVE_OK;
}

// What the unpacked folder must be before it may become current: the program, metadata of the
// promised version, and no link that resolves outside (links may chain).
bool isCompleteVersion(const QString& folder, const QVersionNumber& version)
{
    const QFileInfo program(folder + QStringLiteral("/bin/quillweave"));
    if (!program.isFile() || program.isSymLink() || !program.isExecutable())
        return false;
    const ProgramMetadata metadata =
        ProgramMetadata::read(folder + QStringLiteral("/share/quillweave/program-info.json"));
    const std::optional<QVersionNumber> stated = UpdateFeed::version(metadata.shortVersion());
    if (!stated || stated->normalized() != version.normalized() || metadata.systemInstallation())
        return false;
    QDirIterator entries(folder, QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        if (!entry.isSymLink())
            continue;
        const QString resolved = entry.canonicalFilePath();
        if (resolved.isEmpty() || !(resolved == folder || resolved.startsWith(folder + u'/')))
            return false;
    }
    return true;
}

bool flushToDisk(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool flushed = ::syncfs(fd) == 0;
    ::close(fd);
    return flushed;
}

bool installVersion(const QString& prefix, const QVersionNumber& version, const QByteArray& archive)
{
    if (!everyEntryStaysInside(archive))
        return false;
    const QString root = prefix + QStringLiteral("/lib/quillweave");
    const QString versions = root + QStringLiteral("/versions");
    const QString name = version.toString();
    const QString finalFolder = versions + u'/' + name;
    const QString current = root + QStringLiteral("/current");
    if (QFileInfo(current).canonicalFilePath() == QFileInfo(finalFolder).canonicalFilePath() &&
        QFileInfo::exists(finalFolder))
        return false;
    if (!QDir().mkpath(versions))
        return false;

    // Removed again on every way out but the rename.
    QTemporaryDir partial(versions + u'/' + name + partialMarker + QStringLiteral("XXXXXX"));
    if (!partial.isValid())
        return false;
    const QString canonical = QFileInfo(partial.path()).canonicalFilePath();
    if (canonical.isEmpty() || !unpack(archive, canonical) || !isCompleteVersion(canonical, version) ||
        !flushToDisk(canonical))
        return false;

    // A folder of this version that never became current is what an interrupted switch left.
    if (QFileInfo::exists(finalFolder) && !QDir(finalFolder).removeRecursively())
        return false;
    if (::rename(QFile::encodeName(partial.path()).constData(), QFile::encodeName(finalFolder).constData()) !=
        0)
        return false;
    partial.setAutoRemove(false);

    const QByteArray link = QFile::encodeName(root + QStringLiteral("/current") + partialMarker +
                                              QString::number(QRandomGenerator::global()->generate64(), 16));
    const QByteArray relativeTarget = QFile::encodeName(QStringLiteral("versions/") + name);
    if (::symlink(relativeTarget.constData(), link.constData()) != 0)
        return false;
    // The one step that changes what starts: atomic, so `current` is always one whole version.
    if (::rename(link.constData(), QFile::encodeName(current).constData()) != 0) {
        ::unlink(link.constData());
        return false;
    }
    flushToDisk(root);
    return true;
}

} // namespace

UserPrefixInstaller::UserPrefixInstaller(QString prefix) : m_prefix(std::move(prefix)) {}

std::optional<QString> UserPrefixInstaller::prefixOf(const QString& applicationDir)
{
    const QStringList parts = QDir::cleanPath(applicationDir).split(u'/');
    const qsizetype n = parts.size();
    if (n < 6 || parts[n - 1] != u"bin" || !UpdateFeed::version(parts[n - 2]) ||
        parts[n - 3] != u"versions" || parts[n - 4] != u"quillweave" || parts[n - 5] != u"lib")
        return std::nullopt;
    const QString prefix = parts.mid(0, n - 5).join(u'/');
    return prefix.isEmpty() ? QStringLiteral("/") : prefix;
}

UpdateSetup UserPrefixInstaller::forRunningProgram()
{
    UpdateSetup setup;
    const QString directory = QCoreApplication::applicationDirPath();
    const ProgramMetadata metadata = ProgramMetadata::read(ProgramMetadata::pathBeside(directory));
    setup.info = metadata.info;
    const std::optional<QString> prefix = prefixOf(directory);
    if (prefix && metadata.info.value(QStringLiteral("QuillweaveInstallation")).toString() == u"user")
        setup.installer = std::make_shared<UserPrefixInstaller>(*prefix);
    return setup;
}

void UserPrefixInstaller::removeLeftovers()
{
    const QString root = m_prefix + QStringLiteral("/lib/quillweave");
    const QString pattern = u'*' + partialMarker + u'*';
    QDir versions(root + QStringLiteral("/versions"));
    for (const QString& name :
         versions.entryList({pattern}, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        QDir(versions.filePath(name)).removeRecursively();
    QDir rootDir(root);
    for (const QString& name : rootDir.entryList({pattern}, QDir::AllEntries | QDir::System | QDir::Hidden))
        QFile::remove(rootDir.filePath(name));
}

QCoro::Task<bool> UserPrefixInstaller::install(QVersionNumber version, QByteArray archive)
{
    const QString prefix = m_prefix;
    auto operation = [prefix, version, archive] {
        return installVersion(prefix, version, archive);
    };
    const bool installed = co_await m_worker.run(std::move(operation));
    co_return installed;
}

bool UserPrefixInstaller::relaunch()
{
    // The new copy would find this one still holding the session's single-instance name and
    // hand over to it; it waits until this process has ended (for ten seconds at most).
    const QString script = QStringLiteral("i=0; while kill -0 \"$1\" 2>/dev/null && [ \"$i\" -lt 100 ]; do "
                                          "sleep 0.1; i=$((i+1)); done; exec \"$0\"");
    return QProcess::startDetached(QStringLiteral("/bin/sh"),
                                   {QStringLiteral("-c"), script,
                                    m_prefix + QStringLiteral("/bin/quillweave"),
                                    QString::number(QCoreApplication::applicationPid())});
}

} // namespace qw
