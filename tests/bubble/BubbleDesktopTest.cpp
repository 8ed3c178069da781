// The panel on a real desktop (the headless session: Xvfb, openbox, the accessibility bus),
// beside a GTK program whose entry the user is typing in. Clicks on the panel's buttons and a
// drag of its title must leave that program the active window, its entry focused, its caret
// where it was: typing goes on landing in the entry.
#include "bubble/BubblePanel.h"
#include "bubble/BubbleResizeGrip.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/BubbleWindow.h"
#include "bubble/QtBubbleScreens.h"
#include "bubble/TranslationBubble.h"
#include "bubble/X11Compositor.h"
#include "core/QtTimerSource.h"
#include "l10n/L10n.h"
#include "tests/model/ModelTestFixture.h"
#include "tests/platform/DesktopTestApp.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <cmath>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

using namespace qw;
using namespace qw::test;
using namespace Qt::StringLiterals;

namespace {

// The window X11 reports active (root _NET_ACTIVE_WINDOW), 0 when none.
quint32 activeWindow()
{
    QProcess xprop;
    xprop.start(u"xprop"_s, {u"-root"_s, u"_NET_ACTIVE_WINDOW"_s});
    xprop.waitForFinished(5000);
    // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x1200007"
    const QString out = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    return out.section(u'#', 1).trimmed().toUInt(nullptr, 16);
}

bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(u"xdotool"_s, arguments) == 0;
}

// Real pointer events through XTest, as a user's hand would give them.
bool clickAt(QPoint global)
{
    return xdotool({u"mousemove"_s, u"--sync"_s, QString::number(global.x()), QString::number(global.y()),
                    u"click"_s, u"1"_s});
}

bool dragBy(QPoint from, QPoint travel)
{
    const QPoint to = from + travel;
    return xdotool({u"mousemove"_s, u"--sync"_s, QString::number(from.x()), QString::number(from.y()),
                    u"mousedown"_s, u"1"_s, u"mousemove"_s, u"--sync"_s, QString::number(to.x()),
                    QString::number(to.y()), u"mouseup"_s, u"1"_s});
}

QPoint centreOf(const QWidget* widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

struct Entry {
    QString text;
    bool focused = false;
    QRectF extents;
};

// The GTK entry as a screen reader sees it. Read by a separate program while this one keeps
// answering the accessibility bus (the reader may ask every application for its process id).
std::optional<Entry> readEntry(qint32 pid)
{
    QProcess reader;
    reader.start(u"/usr/bin/python3"_s, {QStringLiteral(QW_ATSPI_ENTRY_SCRIPT), QString::number(pid)});
    if (!pumpUntil([&] { return reader.state() == QProcess::NotRunning; }))
        return std::nullopt;
    const QJsonObject json = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    if (json.isEmpty())
        return std::nullopt;
    const QJsonArray box = json.value(u"extents"_s).toArray();
    return Entry{
        json.value(u"text"_s).toString(), json.value(u"focused"_s).toBool(),
        QRectF(box.at(0).toDouble(), box.at(1).toDouble(), box.at(2).toDouble(), box.at(3).toDouble())};
}

// Types through XTest into whatever holds the keyboard focus, then waits (bounded) until the
// entry shows `expected` and still has the focus.
bool typeAndExpect(qint32 pid, const QString& keys, const QString& expected)
{
    if (!xdotool({u"type"_s, u"--delay"_s, u"20"_s, keys}))
        return false;
    return pumpUntil([&] {
        const auto entry = readEntry(pid);
        return entry && entry->focused && entry->text == expected;
    });
}

// The real content over a real model (the substitute desktop stands in for the field the model
// reads; its rectangle is the GTK entry's) showing a demo translation.
class BubbleDesktopTest : public ModelTest {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "DISPLAY is not set: run inside scripts/headless-session.sh";
        ModelTest::SetUp();
    }
};

} // namespace

TEST_F(BubbleDesktopTest, EveryControlLeavesTheUserTypingInTheirField)
{
    DesktopTestApp pad;
    ASSERT_TRUE(pad.start());
    ASSERT_TRUE(pad.activate());
    ASSERT_TRUE(pumpUntil([&] { return activeWindow() == pad.windowId(); }));
    QString typed = u"hi "_s;
    ASSERT_TRUE(typeAndExpect(pad.pid(), typed, typed));
    const std::optional<Entry> entry = readEntry(pad.pid());
    ASSERT_TRUE(entry);
    // After each action the GTK window is still the active one, and typing still lands in it.
    const auto stillTyping = [&](const char* action, const QString& keys) {
        EXPECT_EQ(activeWindow(), pad.windowId()) << action << " took the active window";
        typed += keys;
        EXPECT_TRUE(typeAndExpect(pad.pid(), keys, typed)) << action;
    };

    makeModel();
    QtBubbleScreens screens;
    QtTimerSource timers;
    BubbleWindow bubble(screens, timers);
    BubblePanel& panel = bubble.panel();
    BubbleTitleBar& bar = *panel.titleBar();
    auto* content = new TranslationBubble(*model, bar);
    panel.setContent(content);
    int closeRequests = 0;
    bubble.setOnCloseRequested([&] { ++closeRequests; });
    model->callbacks().onPreviewUpdate = [&] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        bubble.refresh(BubbleModelState::of(*model, screen ? screen->devicePixelRatio() : 1.0));
    };

    // No consent for a provider: demo mode translates its sample.
    DesktopElement field = window.textArea(QString()).bounds(entry->extents).focus();
    translateNow(field, u"你好"_s);
    ASSERT_TRUE(model->showingPreview());
    // Shown, and sized to its content, before anything is aimed at it.
    ASSERT_TRUE(pumpUntil([&] {
        return panel.windowHandle() && panel.windowHandle()->isExposed() &&
               content->copyButton()->isVisible() &&
               std::abs(bubble.frame().height() - std::max(80.0, std::ceil(panel.preferredHeight()))) <= 1;
    }));
    const QRectF nextToField = bubble.frame();
    // Right above the field, at the height of its content from the first moment.
    EXPECT_EQ(nextToField.bottom() + 10, entry->extents.top());
    EXPECT_FALSE(nextToField.intersects(entry->extents));
    EXPECT_EQ(activeWindow(), pad.windowId()) << "showing the translation took the active window";
    // The whole screen as the user sees it, for a person to look at.
    QDir().mkpath(QStringLiteral(QW_BUBBLE_ARTIFACTS));
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QStringLiteral(QW_BUBBLE_ARTIFACTS "/desktop-beside-gtk-entry.png"));

    ASSERT_TRUE(clickAt(centreOf(content->copyButton())));
    ASSERT_TRUE(pumpUntil([&] { return copied == QStringList{u"Hello."_s}; }));
    stillTyping("the copy button", u"abc"_s);

    // Dragged by its title, the panel stays where the user put it; the pin then offers to follow
    // the field again, to the eye and to a screen reader, and sends it back.
    ASSERT_TRUE(dragBy(bar.mapToGlobal(QPoint(30, bar.height() / 2)), QPoint(60, 40)));
    ASSERT_TRUE(
        pumpUntil([&] { return bubble.controller().placement().mode() == PanelPlacement::Mode::fixed; }));
    EXPECT_EQ(bubble.frame(), nextToField.translated(60, 40));
    EXPECT_EQ(bar.pinButton()->text(), L10n::text(u"恢复自动跟随"_s));
    EXPECT_EQ(bar.pinButton()->accessibleName(), bar.pinButton()->text());
    stillTyping("a drag of the panel", u"d"_s);
    ASSERT_TRUE(clickAt(centreOf(bar.pinButton())));
    ASSERT_TRUE(
        pumpUntil([&] { return bubble.controller().placement().mode() == PanelPlacement::Mode::automatic; }));

    // Widened by its right edge (where it then stands is the panel rules' business).
    ASSERT_TRUE(dragBy(centreOf(panel.resizeGrip()), QPoint(100, 0)));
    ASSERT_TRUE(pumpUntil([&] { return bubble.frame().width() == nextToField.width() + 100; }));

    ASSERT_TRUE(clickAt(centreOf(bar.closeButton())));
    ASSERT_TRUE(pumpUntil([&] { return closeRequests == 1; }));
    stillTyping("the header's buttons", u"e"_s);

    // The target picker's list, opened and chosen from with the pointer.
    QComboBox* picker = content->targetPicker();
    const int other = picker->currentIndex() == 0 ? 1 : 0;
    const auto chosen = static_cast<TranslationLanguage>(picker->itemData(other).toInt());
    ASSERT_TRUE(clickAt(centreOf(picker)));
    QAbstractItemView* list = picker->view();
    ASSERT_TRUE(pumpUntil([&] { return list->isVisible(); }));
    ASSERT_TRUE(
        clickAt(list->viewport()->mapToGlobal(list->visualRect(list->model()->index(other, 0)).center())));
    ASSERT_TRUE(pumpUntil([&] { return !list->isVisible(); }));
    EXPECT_EQ(model->inputTargetLanguage(), chosen);
    stillTyping("the language picker", u"f"_s);

    // The application menu, opened and closed again with Escape. The button runs the menu in a
    // loop of its own until it closes, so the Escape is sent from inside that loop.
    QMenu* menu = content->applicationMenu();
    bool menuOpened = false;
    QTimer escape;
    QObject::connect(&escape, &QTimer::timeout, [&] {
        if (menuOpened || !menu->isVisible())
            return;
        menuOpened = true;
        xdotool({u"key"_s, u"Escape"_s});
    });
    escape.start(50);
    ASSERT_TRUE(clickAt(centreOf(bar.applicationMenuButton())));
    ASSERT_TRUE(pumpUntil([&] { return menuOpened && !menu->isVisible(); }));
    stillTyping("the application menu", u"g"_s);

    model->callbacks().onPreviewUpdate = {};
}

TEST_F(BubbleDesktopTest, SeesACompositorByItsSelection)
{
    // The headless session runs none; a client that claims the selection stands in for one.
    ASSERT_FALSE(x11CompositorRunning());
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    const auto roundTrip = [connection] {
        free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    };
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screen; ++i)
        xcb_screen_next(&screens);
    const xcb_window_t owner = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, owner, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, name.size(), name.constData()), nullptr);
    ASSERT_NE(atom, nullptr);
    xcb_set_selection_owner(connection, owner, atom->atom, XCB_CURRENT_TIME);
    free(atom);
    roundTrip();
    EXPECT_TRUE(x11CompositorRunning());
    // The compositor quits: its window, and with it the selection, is gone.
    xcb_destroy_window(connection, owner);
    roundTrip();
    EXPECT_FALSE(x11CompositorRunning());
    xcb_disconnect(connection);
}
