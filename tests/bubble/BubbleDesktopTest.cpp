// The panel on a real desktop (the headless session: Xvfb, openbox, the accessibility bus),
// beside a GTK program whose entry the user is typing in. Clicks on the panel's buttons and a
// drag of its title must leave that program the active window, its entry focused, its caret
// where it was: typing goes on landing in the entry, as the program itself reports its text.
#include "bubble/BubblePanel.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/BubbleWindow.h"
#include "bubble/QtBubbleScreens.h"
#include "bubble/TranslationBubble.h"
#include "core/QtTimerSource.h"
#include "l10n/L10n.h"
#include "tests/model/ModelTestFixture.h"
#include "tests/platform/DesktopTestApp.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>
#include <QWindow>
#include <cmath>
#include <gtest/gtest.h>

using namespace qw;
using namespace qw::test;
using namespace Qt::StringLiterals;

namespace {

// Runs xdotool (XTest input as a user's hand gives it, and window queries): its output, or
// nothing when it failed.
std::optional<QString> xdotool(const QStringList& arguments)
{
    QProcess process;
    process.start(u"xdotool"_s, arguments);
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The window X11 reports active (root _NET_ACTIVE_WINDOW), 0 when none.
quint32 activeWindow()
{
    return xdotool({u"getactivewindow"_s}).value_or(QString()).trimmed().toUInt();
}

// Where the window manager put a window, the field the panel is shown beside.
QRectF geometry(quint32 window)
{
    QHash<QString, double> values;
    const QString shell =
        xdotool({u"getwindowgeometry"_s, u"--shell"_s, QString::number(window)}).value_or(QString());
    for (const QString& line : shell.split(u'\n'))
        values.insert(line.section(u'=', 0, 0), line.section(u'=', 1).toDouble());
    return QRectF(values[u"X"_s], values[u"Y"_s], values[u"WIDTH"_s], values[u"HEIGHT"_s]);
}

bool clickAt(QPoint global)
{
    return xdotool({u"mousemove"_s, u"--sync"_s, QString::number(global.x()), QString::number(global.y()),
                    u"click"_s, u"1"_s})
        .has_value();
}

bool dragBy(QPoint from, QPoint travel)
{
    const QPoint to = from + travel;
    return xdotool({u"mousemove"_s, u"--sync"_s, QString::number(from.x()), QString::number(from.y()),
                    u"mousedown"_s, u"1"_s, u"mousemove"_s, u"--sync"_s, QString::number(to.x()),
                    QString::number(to.y()), u"mouseup"_s, u"1"_s})
        .has_value();
}

QPoint centreOf(const QWidget* widget)
{
    return widget->mapToGlobal(widget->rect().center());
}

// Types through XTest into whatever holds the keyboard focus, then waits (bounded) until the GTK
// entry holds `expected`: the keys landed in it, at its caret.
bool typeAndExpect(DesktopTestApp& pad, const QString& keys, const QString& expected)
{
    return xdotool({u"type"_s, u"--delay"_s, u"20"_s, keys}) &&
           pumpUntil([&] { return pad.state().value(u"entry"_s).toString() == expected; });
}

// The real content over a real model (the substitute desktop stands in for the field the model
// reads; its rectangle is the GTK window's) showing a demo translation.
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
    ASSERT_TRUE(typeAndExpect(pad, typed, typed));
    const QRectF beside = geometry(pad.windowId());
    ASSERT_FALSE(beside.isEmpty());
    // After each action the GTK window is still the active one, and typing still lands in it.
    const auto stillTyping = [&](const char* action, const QString& keys) {
        EXPECT_EQ(activeWindow(), pad.windowId()) << action << " took the active window";
        typed += keys;
        EXPECT_TRUE(typeAndExpect(pad, keys, typed)) << action;
    };

    makeModel();
    QtBubbleScreens screens;
    QtTimerSource timers;
    BubbleWindow bubble(screens, timers);
    BubblePanel& panel = bubble.panel();
    BubbleTitleBar& bar = *panel.titleBar();
    auto* content = new TranslationBubble(*model, bar);
    panel.setContent(content);
    model->callbacks().onPreviewUpdate = [&] {
        const QScreen* screen = QGuiApplication::primaryScreen();
        bubble.refresh(BubbleModelState::of(*model, screen ? screen->devicePixelRatio() : 1.0));
    };

    // No consent for a provider: demo mode translates its sample.
    DesktopElement field = window.textArea(QString()).bounds(beside).focus();
    translateNow(field, u"你好"_s);
    ASSERT_TRUE(model->showingPreview());
    // Shown, and sized to its content, before anything is aimed at it.
    ASSERT_TRUE(pumpUntil([&] {
        return panel.windowHandle() && panel.windowHandle()->isExposed() &&
               content->copyButton()->isVisible() &&
               std::abs(bubble.frame().height() - std::max(80.0, std::ceil(panel.preferredHeight()))) <= 1;
    }));
    const QRectF nextToField = bubble.frame();
    // Right next to the field, at the height of its content from the first moment.
    EXPECT_TRUE(nextToField.bottom() + 10 == beside.top() || nextToField.top() == beside.bottom() + 10)
        << nextToField.y() << " " << beside.y();
    EXPECT_FALSE(nextToField.intersects(beside));
    EXPECT_EQ(activeWindow(), pad.windowId()) << "showing the translation took the active window";
    // The whole screen as the user sees it, for a person to look at.
    QDir().mkpath(QStringLiteral(QW_BUBBLE_ARTIFACTS));
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QStringLiteral(QW_BUBBLE_ARTIFACTS "/desktop-beside-gtk-entry.png"));

    ASSERT_TRUE(clickAt(centreOf(content->copyButton())));
    ASSERT_TRUE(pumpUntil([&] { return copied == QStringList{u"Hello."_s}; }));
    stillTyping("the copy button", u"abc"_s);

    // Dragged by its title, the panel stays where the user put it; the pin then offers to follow
    // the field again, to the eye and to a screen reader. (The pin, the close button and the
    // resize grip take the pointer as the copy button and the title do.)
    ASSERT_TRUE(dragBy(bar.mapToGlobal(QPoint(30, bar.height() / 2)), QPoint(60, 40)));
    ASSERT_TRUE(
        pumpUntil([&] { return bubble.controller().placement().mode() == PanelPlacement::Mode::fixed; }));
    EXPECT_EQ(bubble.frame(), nextToField.translated(60, 40));
    EXPECT_EQ(bar.pinButton()->text(), L10n::text(u"恢复自动跟随"_s));
    EXPECT_EQ(bar.pinButton()->accessibleName(), bar.pinButton()->text());
    stillTyping("a drag of the panel", u"d"_s);

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

    model->callbacks().onPreviewUpdate = {};
}
