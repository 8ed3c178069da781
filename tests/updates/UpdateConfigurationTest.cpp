#include "updates/UpdateConfiguration.h"

#include "updates/ProgramMetadata.h"
#include "updates/UpdateFeed.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qw;

namespace {

const QString key32 = QString::fromLatin1(QByteArray(32, '\x07').toBase64());

QVariantMap metadata(QVariant enabled, QVariant feed, QVariant key = key32)
{
    return {{QStringLiteral("QuillweaveUpdatesEnabled"), enabled},
            {QStringLiteral("SUFeedURL"), feed},
            {QStringLiteral("SUPublicEDKey"), key}};
}

struct ConfigurationCase {
    const char* situation;
    QVariantMap info;
    bool configured;
};

class UpdateConfigurationTest : public ::testing::TestWithParam<ConfigurationCase> {};

TEST_P(UpdateConfigurationTest, AcceptsOnlyCompleteHttpsMetadataWithA32ByteKey)
{
    const std::optional<UpdateConfiguration> configuration = UpdateConfiguration::from(GetParam().info);
    ASSERT_EQ(configuration.has_value(), GetParam().configured);
    if (configuration) {
        // Carried unchanged.
        EXPECT_EQ(configuration->feed, QUrl(GetParam().info.value(QStringLiteral("SUFeedURL")).toString()));
        EXPECT_EQ(configuration->publicKey,
                  GetParam().info.value(QStringLiteral("SUPublicEDKey")).toString());
        EXPECT_EQ(configuration->publicKeyBytes().size(), 32);
    }
}

const QString feed = QStringLiteral("https://updates.quillweave.org/feed.xml");

INSTANTIATE_TEST_SUITE_P(
    Metadata, UpdateConfigurationTest,
    ::testing::Values(
        ConfigurationCase{"boolean true", metadata(true, feed), true},
        ConfigurationCase{"string YES", metadata(QStringLiteral("YES"), feed), true},
        ConfigurationCase{"string yes is not YES", metadata(QStringLiteral("yes"), feed), false},
        ConfigurationCase{"switched off", metadata(false, feed), false},
        ConfigurationCase{"switch missing",
                          {{QStringLiteral("SUFeedURL"), feed}, {QStringLiteral("SUPublicEDKey"), key32}},
                          false},
        ConfigurationCase{"upper-case scheme",
                          metadata(true, QStringLiteral("HTTPS://updates.quillweave.org/f")), true},
        ConfigurationCase{"http feed", metadata(true, QStringLiteral("http://updates.quillweave.org/f")),
                          false},
        ConfigurationCase{"no host", metadata(true, QStringLiteral("https:///feed.xml")), false},
        ConfigurationCase{"under .invalid", metadata(true, QStringLiteral("https://updates.invalid/f")),
                          false},
        ConfigurationCase{"under .example", metadata(true, QStringLiteral("https://feed.example/f")), false},
        ConfigurationCase{"the reserved domain", metadata(true, QStringLiteral("https://example.com/f")),
                          false},
        ConfigurationCase{"below it, with a trailing dot",
                          metadata(true, QStringLiteral("https://a.EXAMPLE.com./f")), false},
        ConfigurationCase{"a name merely ending in it",
                          metadata(true, QStringLiteral("https://myexample.com/f")), true},
        ConfigurationCase{"user name", metadata(true, QStringLiteral("https://me@updates.quillweave.org/f")),
                          false},
        ConfigurationCase{"password only",
                          metadata(true, QStringLiteral("https://:pw@updates.quillweave.org/f")), false},
        ConfigurationCase{"feed not a string", metadata(true, QUrl(feed)), false},
        ConfigurationCase{"key of 31 bytes",
                          metadata(true, feed, QString::fromLatin1(QByteArray(31, 'k').toBase64())), false},
        ConfigurationCase{"key of 33 bytes",
                          metadata(true, feed, QString::fromLatin1(QByteArray(33, 'k').toBase64())), false},
        ConfigurationCase{"key not Base64", metadata(true, feed, QStringLiteral("!!!!") + key32.mid(4)),
                          false},
        ConfigurationCase{"key not a string", metadata(true, feed, QByteArray(32, 'k')), false}),
    [](const auto& info) {
        std::string name = info.param.situation;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(ProgramMetadataTest, ReadsOnlyOneStrictJsonObject)
{
    QTemporaryDir folder;
    const auto read = [&](const QByteArray& text) {
        QFile file(folder.filePath(QStringLiteral("program-info.json")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size());
        file.close();
        return ProgramMetadata::read(file.fileName());
    };
    EXPECT_EQ(read(R"({"CFBundleShortVersionString":"0.4.0"})").shortVersion(), QStringLiteral("0.4.0"));
    EXPECT_TRUE(read(R"({"QuillweaveInstallation":"system"})").systemInstallation());
    // Qt alone would read the first; the metadata is the trust anchor, so it must be exact.
    for (const QByteArray& refused :
         {QByteArray(R"({"CFBundleShortVersionString":"0.4.0",})"), QByteArray("[1]")})
        EXPECT_TRUE(read(refused).info.isEmpty()) << refused.toStdString();
}

TEST(UpdateFeedTest, TakesTheNewestNewerItemAndRefusesAHalfWrittenFeed)
{
    const QByteArray signature = QByteArray(64, 's').toBase64();
    const auto item = [&](const char* version, const char* url = "https://h.test/a.tar.gz") {
        return QByteArray("<item><qw:version>") + version + "</qw:version><qw:signature>" + signature +
               "</qw:signature><enclosure url=\"" + url +
               "\" length=\"10\" type=\"application/gzip\"/></item>";
    };
    const auto feedOf = [](const QByteArray& items) {
        return R"(<?xml version="1.0"?><rss version="2.0" xmlns:qw="urn:quillweave:update:1"><channel>)" +
               items + "</channel></rss>";
    };
    const auto items = UpdateFeed::parse(feedOf(item("0.4.1") + item("0.10.0") + item("0.9.9")));
    ASSERT_TRUE(items);
    const auto newest = UpdateFeed::newest(*items, QVersionNumber(0, 4, 0));
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->version, QVersionNumber(0, 10, 0)) << "numbers, not text, are compared";
    EXPECT_EQ(newest->signature, QByteArray(64, 's'));
    EXPECT_FALSE(UpdateFeed::newest(*items, QVersionNumber(0, 10, 0)));

    for (const QByteArray& broken : {feedOf(item("0.5.0")).chopped(10), feedOf(item("0.5.0/../..")),
                                     feedOf(item("0.5.0", "http://h.test/a")),
                                     feedOf(QByteArray(item("0.5.0")).replace(signature, "c2hvcnQ=")),
                                     feedOf("<item><qw:version>0.5.0</qw:version><enclosure "
                                            "url=\"https://h.test/a\" length=\"1\"/></item>")})
        EXPECT_FALSE(UpdateFeed::parse(broken)) << broken.toStdString();
}

} // namespace
