#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <QVersionNumber>
#include <optional>

namespace qw {

// One published version in the feed: where its archive is, how long it is and its signature.
struct UpdateItem {
    QVersionNumber version;
    QUrl archive;
    qint64 length = 0;
    QByteArray signature; // the 64 raw bytes of the Ed25519 signature
};

// The update feed: an RSS document whose items carry, in the program's own namespace, the
// version and the archive's signature, and a standard enclosure with the archive's address and
// length.
//
//   <rss version="2.0" xmlns:qw="urn:quillweave:update:1"><channel>
//     <item><qw:version>0.5.0</qw:version><qw:signature>BASE64</qw:signature>
//       <enclosure url="https://…/quillweave-0.5.0-linux-x86_64.tar.gz" length="123"
//                  type="application/gzip"/></item>
//   </channel></rss>
namespace UpdateFeed {

inline constexpr const char* xmlNamespace = "urn:quillweave:update:1";

// Every item, or none when the document is not well-formed XML, is not an RSS channel, or has
// an item that lacks a part or carries a malformed one (a half-written feed is not trusted).
std::optional<QList<UpdateItem>> parse(const QByteArray& document);

// The newest item newer than `running`, if any.
std::optional<UpdateItem> newest(const QList<UpdateItem>& items, const QVersionNumber& running);

// A version as the feed and the metadata write it: numbers separated by dots, nothing else
// (it names a folder on disk).
std::optional<QVersionNumber> version(const QString& text);

} // namespace UpdateFeed

} // namespace qw
