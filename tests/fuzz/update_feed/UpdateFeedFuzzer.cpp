// The update feed as any server (or anyone between it and us) may send it: reading never
// crashes, every item it accepts is complete and reachable only over https, its version names a
// plain folder, and the update chosen is the newest one newer than the running version.
// Input: the running version on the first line, then the feed document.
#include "FuzzInput.h"
#include "updates/UpdateFeed.h"

#include <algorithm>

using namespace qw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> input = fuzz::fields(data, size, 2);
    const QString runningText = QString::fromUtf8(input.at(0));
    const auto running = UpdateFeed::version(runningText);
    if (running) {
        const QString folder = running->toString();
        fuzz::require(std::all_of(folder.cbegin(), folder.cend(),
                                  [](QChar c) { return c == u'.' || (c >= u'0' && c <= u'9'); }),
                      "a version names a folder of digits and dots only");
        fuzz::require(UpdateFeed::version(folder) == running, "a version reads back as itself");
    }

    const auto items = UpdateFeed::parse(input.at(1));
    if (!items)
        return 0;
    for (const UpdateItem& item : *items) {
        fuzz::require(UpdateFeed::version(item.version.toString()) == item.version,
                      "an item's version is one the feed may name");
        fuzz::require(item.signature.size() == 64, "an item carries a whole Ed25519 signature");
        fuzz::require(item.length > 0, "an item's archive has a length");
        fuzz::require(item.archive.isValid() &&
                          item.archive.scheme().compare(u"https", Qt::CaseInsensitive) == 0 &&
                          !item.archive.host().isEmpty(),
                      "an archive is fetched over https from a host");
    }
    const QVersionNumber base = running.value_or(QVersionNumber(0));
    const auto newest = UpdateFeed::newest(*items, base);
    const bool anyNewer = std::any_of(items->cbegin(), items->cend(),
                                      [&](const UpdateItem& item) { return item.version > base; });
    fuzz::require(newest.has_value() == anyNewer,
                  "an update is offered exactly when the feed has a newer one");
    if (newest) {
        fuzz::require(std::none_of(items->cbegin(), items->cend(),
                                   [&](const UpdateItem& item) { return item.version > newest->version; }),
                      "the newest item is offered");
    }
    return 0;
}
