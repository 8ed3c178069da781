#include "platform/LinuxClipboard.h"

#include "platform/LinuxClipboardReader.h"
#include "tests/platform/ForeignClipboardOwner.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace qw {
namespace {

using namespace Qt::StringLiterals;

// The clipboard of the test's own QApplication (offscreen, or the X server's under a desktop).
class LinuxClipboardTest : public ::testing::Test {
protected:
    void SetUp() override { QGuiApplication::clipboard()->clear(); }

    // Runs `call` on another thread, as the accessibility worker does, while this (main)
    // thread keeps handling events.
    template <class F> auto fromWorker(F call)
    {
        std::optional<decltype(call())> result;
        std::atomic<bool> done{false};
        std::thread worker([&] {
            result.emplace(call());
            done = true;
        });
        test::pumpUntil([&] { return done.load(); });
        worker.join();
        return *result;
    }
};

TEST_F(LinuxClipboardTest, EveryTypeOfTheItemIsSavedAndWrittenBackFromTheWorker)
{
    LinuxClipboard clipboard;
    // An empty clipboard has no items and no data.
    EXPECT_EQ(fromWorker([&] { return clipboard.itemCount(); }), 0);
    EXPECT_EQ(fromWorker([&] { return clipboard.data(0, u"text/plain"_s); }), std::nullopt);
    EXPECT_EQ(clipboard.data(1, u"text/plain"_s), std::nullopt);

    auto* mime = new QMimeData;
    mime->setData(u"text/plain"_s, "plain");
    mime->setData(u"application/x-quillweave-test"_s, QByteArray("\0\1\2", 3));
    QGuiApplication::clipboard()->setMimeData(mime);

    EXPECT_EQ(fromWorker([&] { return clipboard.itemCount(); }), 1);
    const QStringList types = fromWorker([&] { return clipboard.types(0); });
    EXPECT_TRUE(types.contains(u"application/x-quillweave-test"_s));
    ClipboardItem saved;
    for (const QString& type : types) {
        const auto data = fromWorker([&] { return clipboard.data(0, type); });
        ASSERT_TRUE(data) << type.toStdString();
        saved.representations.append({type, *data});
    }

    EXPECT_TRUE(fromWorker([&] { return clipboard.setString(u"translation"_s); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"translation"_s);
    const qint64 placed = fromWorker([&] { return clipboard.changeCount(); });

    EXPECT_TRUE(fromWorker([&] {
        clipboard.clear();
        return clipboard.writeItems({saved});
    }));
    EXPECT_GT(fromWorker([&] { return clipboard.changeCount(); }), placed);
    const QMimeData* restored = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->data(u"application/x-quillweave-test"_s), QByteArray("\0\1\2", 3));
    EXPECT_EQ(restored->data(u"text/plain"_s), QByteArray("plain"));
}

TEST_F(LinuxClipboardTest, AWriteTheMainThreadDidNotReachInTimeNeverHappensLate)
{
    // The worker gives up while the main thread is busy; when the main thread gets to its
    // events later, the abandoned write must not overwrite what is on the clipboard by then.
    LinuxClipboard clipboard(std::chrono::milliseconds(1));
    QGuiApplication::clipboard()->setText(u"the user's"_s);
    bool written = true;
    std::thread worker([&] { written = clipboard.setString(u"stale translation"_s); });
    worker.join(); // the main thread handles no events meanwhile
    EXPECT_FALSE(written);
    QGuiApplication::clipboard()->setText(u"copied since"_s);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), u"copied since"_s);
}

QByteArray typeData(const std::optional<ClipboardItem>& item, const QString& type)
{
    for (const ClipboardRepresentation& representation :
         item ? item->representations : QList<ClipboardRepresentation>{})
        if (representation.type == type)
            return representation.data;
    return "(absent)";
}

// Another program's clipboard on the X server of the headless session.
class ForeignClipboardTest : public LinuxClipboardTest {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs the X server: run inside scripts/headless-session.sh";
    }
    // What any other program reading the clipboard now gets.
    std::optional<ClipboardItem> seenByAnotherProgram()
    {
        LinuxClipboardReader reader(std::chrono::seconds(5));
        return fromWorker([&] { return reader.read(); });
    }
};

TEST_F(ForeignClipboardTest, TheUsersItemComesBackWithEveryTypeAndOurContentIsKeptOutOfHistories)
{
    QByteArray binary(300 * 1024, '\0');
    for (qsizetype i = 0; i < binary.size(); ++i)
        binary[i] = char(i * 7);
    const ClipboardItem copied{{{u"UTF8_STRING"_s, "na\xc3\xafve \xe6\x96\x87"},
                                {u"text/html"_s, "<b>na\xc3\xafve</b>"},
                                {u"application/x-quillweave-test"_s, binary}}};
    test::ForeignClipboardOwner owner(copied, true);
    ASSERT_TRUE(owner.start());

    LinuxClipboard clipboard;
    ASSERT_EQ(fromWorker([&] { return clipboard.itemCount(); }), 1);
    ClipboardItem saved;
    for (const QString& type : clipboard.types(0))
        saved.representations.append({type, *clipboard.data(0, type)});
    EXPECT_EQ(typeData(saved, u"text/plain"_s), copied.representations[0].data);
    EXPECT_EQ(typeData(saved, u"application/x-quillweave-test"_s), binary);

    ASSERT_TRUE(fromWorker([&] { return clipboard.setString(u"translation"_s); }));
    auto placed = seenByAnotherProgram();
    EXPECT_EQ(typeData(placed, u"text/plain"_s), "translation");
    for (const ClipboardRepresentation& hint : LinuxClipboard::skipHistoryHints)
        EXPECT_EQ(typeData(placed, hint.type), hint.data) << hint.type.toStdString();

    ASSERT_TRUE(fromWorker([&] {
        clipboard.clear();
        return clipboard.writeItems({saved});
    }));
    const auto restored = seenByAnotherProgram();
    for (const ClipboardRepresentation& representation : saved.representations)
        EXPECT_EQ(typeData(restored, representation.type), representation.data)
            << representation.type.toStdString();
    for (const ClipboardRepresentation& hint : LinuxClipboard::skipHistoryHints)
        EXPECT_EQ(typeData(restored, hint.type), hint.data) << hint.type.toStdString();
}

TEST_F(ForeignClipboardTest, AnOwnerThatNeverAnswersCostsTheWorkerOnlyTheBoundAndTheMainThreadNothing)
{
    test::ForeignClipboardOwner hung({{{u"UTF8_STRING"_s, "never sent"}}}, false);
    ASSERT_TRUE(hung.start());
    LinuxClipboard clipboard(LinuxClipboard::defaultMainThreadTimeout, std::chrono::milliseconds(100));

    // Qt's own clipboard would wait for the owner on the main thread, five seconds per type.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    sinceTick.start();
    tick.start();
    EXPECT_EQ(fromWorker([&] { return clipboard.itemCount(); }), 0);
    tick.stop();
    EXPECT_LT(longestStall, 1000);

    // The translation still goes on the clipboard: taking it needs nothing from the owner.
    EXPECT_TRUE(fromWorker([&] { return clipboard.setString(u"translation"_s); }));
    EXPECT_EQ(typeData(seenByAnotherProgram(), u"text/plain"_s), "translation");
}

} // namespace
} // namespace qw
