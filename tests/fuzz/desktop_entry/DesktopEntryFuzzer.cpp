// Desktop entries as installed by any package: parsing one never crashes, an entry it accepts
// always has a name to show in every language, and the index finds an installed entry by the
// same rules as the parser. Input: a window's WM_CLASS on the first line, then the file.
#include "FuzzInput.h"
#include "platform/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace qw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> input = fuzz::fields(data, size, 2);
    const QString wmClass = QString::fromUtf8(input.at(0));
    const QByteArray& content = input.at(1);
    const QString id = QStringLiteral("org.example.Fuzzed");

    const auto entry = DesktopEntryIndex::parse(id, content);
    if (entry) {
        fuzz::require(entry->id == id, "an entry keeps the id it was read under");
        for (const QString& locale : {QStringLiteral("zh_CN"), QStringLiteral("zh"), QStringLiteral("en_US"),
                                      QStringLiteral("C"), QString()}) {
            fuzz::require(!entry->nameFor(locale).trimmed().isEmpty(), "an entry always has a name to show");
        }
    }

    // The same file installed: the index agrees with the parser and resolves a window by it.
    static QTemporaryDir directory;
    const QString path = directory.filePath(id + QStringLiteral(".desktop"));
    QFile file(path);
    fuzz::require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the fuzzer can write its file");
    fuzz::require(file.write(content) == content.size(), "the fuzzer wrote its whole file");
    file.close();
    const DesktopEntryIndex index({directory.path()});
    const auto installed = index.entry(id);
    fuzz::require(installed.has_value() == (entry && !entry->hidden),
                  "the index lists what the parser accepts");
    const auto resolved =
        index.resolve(WindowIdentity{wmClass, wmClass, wmClass, QStringLiteral("/usr/bin/") + wmClass});
    fuzz::require(!resolved || resolved->id == id, "a window resolves only to an installed entry");
    QFile::remove(path);
    return 0;
}
