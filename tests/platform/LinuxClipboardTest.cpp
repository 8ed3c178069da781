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
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/plain"), "plain");
    mime->setData(QStringLiteral("application/x-quillweave-test"), QByteArray("\0\1\2", 3));
    QGuiApplication::clipboard()->setMimeData(mime);

    EXPECT_EQ(fromWorker([&] { return clipboard.itemCount(); }), 1);
    const QStringList types = fromWorker([&] { return clipboard.types(0); });
    EXPECT_TRUE(types.contains(QStringLiteral("application/x-quillweave-test")));
    ClipboardItem saved;
    for (const QString& type : types) {
        const auto data = fromWorker([&] { return clipboard.data(0, type); });
        ASSERT_TRUE(data) << type.toStdString();
        saved.representations.append({type, *data});
    }

    EXPECT_TRUE(fromWorker([&] { return clipboard.setString(QStringLiteral("translation")); }));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("translation"));
    const qint64 placed = fromWorker([&] { return clipboard.changeCount(); });

    EXPECT_TRUE(fromWorker([&] {
        clipboard.clear();
        return clipboard.writeItems({saved});
    }));
    EXPECT_GT(fromWorker([&] { return clipboard.changeCount(); }), placed);
    const QMimeData* restored = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->data(QStringLiteral("application/x-quillweave-test")), QByteArray("\0\1\2", 3));
    EXPECT_EQ(restored->data(QStringLiteral("text/plain")), QByteArray("plain"));
}

TEST_F(LinuxClipboardTest, AnEmptyClipboardHasNoItemsAndNoData)
{
    LinuxClipboard clipboard;
    EXPECT_EQ(fromWorker([&] { return clipboard.itemCount(); }), 0);
    EXPECT_EQ(fromWorker([&] { return clipboard.data(0, QStringLiteral("text/plain")); }), std::nullopt);
    EXPECT_EQ(clipboard.data(1, QStringLiteral("text/plain")), std::nullopt);
}

TEST_F(LinuxClipboardTest, AWriteTheMainThreadDidNotReachInTimeNeverHappensLate)
{
    // The worker gives up while the main thread is busy; when the main thread gets to its
    // events later, the abandoned write must not overwrite what is on the clipboard by then.
    LinuxClipboard clipboard(std::chrono::milliseconds(1));
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's"));
    bool written = true;
    std::thread worker([&] { written = clipboard.setString(QStringLiteral("stale translation")); });
    worker.join(); // the main thread handles no events meanwhile
    EXPECT_FALSE(written);
    QGuiApplication::clipboard()->setText(QStringLiteral("copied since"));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("copied since"));
}

} // namespace
} // namespace qw
