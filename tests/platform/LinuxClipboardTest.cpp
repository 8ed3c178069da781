#include "platform/LinuxClipboard.h"

#include "tests/support/AsyncTestHelpers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
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

} // namespace
} // namespace qw
