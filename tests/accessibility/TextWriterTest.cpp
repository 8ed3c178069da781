#include "accessibility/AXEngine.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using test::DesktopApp;
using test::DesktopElement;
using test::SubstituteDesktop;

const ClipboardItem kUserItem{{{QStringLiteral("text/plain"), QByteArray("user copy")},
                               {QStringLiteral("text/html"), QByteArray("<b>user copy</b>")},
                               {QStringLiteral("image/png"), QByteArray("\x89PNG", 4)}}};

class TextWriterTest : public ::testing::Test {
protected:
    FocusedField read()
    {
        auto field = engine.focusedField(app.running());
        EXPECT_TRUE(field.has_value()) << engine.lastDiagnostic().toStdString();
        return field.value_or(FocusedField{});
    }

    static QString message(const WriteResult& result) { return result.message(); }

    SubstituteDesktop desktop;
    AXEngine engine{desktop.platform()};
    DesktopApp app = desktop.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
    DesktopElement window = app.window();
};

// --- Whole value ---

TEST_F(TextWriterTest, WholeValueIsWrittenThroughAccessibilityAndReadBack)
{
    auto field = window.textField(QStringLiteral("你好世界")).focus();
    const WriteResult result =
        engine.replaceEntireValue(QStringLiteral("你好世界"), QStringLiteral("Hello world"), read(), false);
    EXPECT_EQ(result, WriteResult::success(L10n::text(L10N_KEY("辅助功能接口"))));
    EXPECT_EQ(field.currentValue(), QStringLiteral("Hello world"));
    EXPECT_TRUE(desktop.postedKeys().isEmpty());
}

TEST_F(TextWriterTest, IgnoredWriteFallsBackToPasteOnlyInCompatibilityMode)
{
    app.ignoresWrites();
    auto field = window.textField(QStringLiteral("你好")).focus();
    desktop.setClipboardItems({kUserItem});

    const WriteResult off =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), false);
    EXPECT_EQ(message(off), L10n::text(L10N_KEY("该输入框不支持直接修改。可在设置中开启剪贴板兼容模式再试")));
    EXPECT_EQ(field.currentValue(), QStringLiteral("你好"));
    EXPECT_TRUE(desktop.postedKeys().isEmpty());

    const WriteResult on =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), true);
    EXPECT_EQ(on, WriteResult::success(L10n::text(L10N_KEY("剪贴板兼容模式"))));
    EXPECT_EQ(field.currentValue(), QStringLiteral("Hello"));
    // One Ctrl+V and nothing else: never a select-all keystroke.
    const QList<KeyEvent> expected{{Qt::Key_V, Qt::ControlModifier, true},
                                   {Qt::Key_V, Qt::ControlModifier, false}};
    EXPECT_EQ(desktop.postedKeys(), expected);
    EXPECT_EQ(desktop.clipboardItems(), QList<ClipboardItem>{kUserItem})
        << "every type of the user's item is back";
}

TEST_F(TextWriterTest, UnsettableValueAlsoNeedsCompatibilityMode)
{
    window.textField(QStringLiteral("你好")).valueSettable(false).focus();
    const WriteResult result =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), false);
    EXPECT_EQ(message(result),
              L10n::text(L10N_KEY("该输入框不支持直接修改。可在设置中开启剪贴板兼容模式再试")));
}

TEST_F(TextWriterTest, ThirdTextIsUnconfirmedAndNeverPastedInto)
{
    app.rewritesWritesTo(QStringLiteral("something else"));
    auto field = window.textField(QStringLiteral("你好")).focus();

    const WriteResult result =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), true);

    EXPECT_EQ(message(result), L10n::text(L10N_KEY("目标应用未确认写入结果；请检查当前输入框")));
    EXPECT_TRUE(desktop.postedKeys().isEmpty());
    EXPECT_EQ(desktop.writesTo(field), QStringList{AXAttribute::value}) << "one write, no retry, no paste";
}

TEST_F(TextWriterTest, PreconditionsBlockTheWholeValueWrite)
{
    auto field = window.textField(QStringLiteral("你好世界")).focus();
    const FocusedField snapshot = read();

    field.selection(0, 2);
    EXPECT_EQ(
        message(engine.replaceEntireValue(QStringLiteral("你好世界"), QStringLiteral("Hi"), snapshot, true)),
        L10n::text(L10N_KEY("当前焦点或文本已变化；未执行替换")))
        << "a non-empty selection blocks a whole-value replacement";
    field.selection(4, 0).value(QStringLiteral("你好世界!"));
    EXPECT_EQ(
        message(engine.replaceEntireValue(QStringLiteral("你好世界"), QStringLiteral("Hi"), snapshot, true)),
        L10n::text(L10N_KEY("当前焦点或文本已变化；未执行替换")));
    field.value(QStringLiteral("你好世界"));
    EXPECT_EQ(message(engine.replaceEntireValue(QStringLiteral("你好世界"), QString(), snapshot, true)),
              L10n::text(L10N_KEY("文本不符合安全替换规则")));
    EXPECT_EQ(desktop.attributeWrites(), 0);
}

TEST_F(TextWriterTest, FocusMovingBetweenTwoReadsStopsThePasteAndRestoresTheClipboard)
{
    app.ignoresWrites();
    auto field = window.textField(QStringLiteral("你好")).focus();
    auto elsewhere = window.textField(QStringLiteral("other"));
    desktop.setClipboardItems({kUserItem});
    // The user clicks into another field right after the whole text was selected for pasting.
    desktop.afterNextWrite(AXAttribute::selectedTextRange, [elsewhere]() mutable { elsewhere.focus(); });

    const WriteResult result =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), true);

    EXPECT_EQ(message(result), L10n::text(L10N_KEY("焦点或文字已变化，取消粘贴")));
    EXPECT_TRUE(desktop.postedKeys().isEmpty());
    EXPECT_EQ(desktop.clipboardItems(), QList<ClipboardItem>{kUserItem});
    EXPECT_EQ(elsewhere.currentValue(), QStringLiteral("other"));
    EXPECT_EQ(field.currentValue(), QStringLiteral("你好"));
}

// --- Clipboard restore ---

TEST_F(TextWriterTest, NewerClipboardContentIsNeverOverwritten)
{
    app.ignoresWrites();
    window.textField(QStringLiteral("你好")).focus();
    desktop.setClipboardItems({kUserItem});
    const ClipboardItem newer{{{QStringLiteral("text/plain"), QByteArray("copied meanwhile")}}};
    desktop.copyDuringNextPaste({newer});

    const WriteResult result =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), true);

    EXPECT_TRUE(result.isSuccess());
    EXPECT_EQ(desktop.clipboardItems(), QList<ClipboardItem>{newer});
}

TEST_F(TextWriterTest, EmptyClipboardStaysEmptyAndUnreadableTypesAreDropped)
{
    app.ignoresWrites();
    window.textField(QStringLiteral("你好")).focus();
    EXPECT_TRUE(
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), true).isSuccess());
    EXPECT_TRUE(desktop.clipboardItems().isEmpty()) << "the translation must not linger";

    window.textField(QStringLiteral("再见")).focus();
    desktop.setClipboardItems({kUserItem});
    desktop.makeClipboardTypeUnreadable(QStringLiteral("image/png"));
    EXPECT_TRUE(
        engine.replaceEntireValue(QStringLiteral("再见"), QStringLiteral("Bye"), read(), true).isSuccess());
    const ClipboardItem readable{{kUserItem.representations.at(0), kUserItem.representations.at(1)}};
    EXPECT_EQ(desktop.clipboardItems(), QList<ClipboardItem>{readable});
}

TEST_F(TextWriterTest, RefusedClipboardPutsTheUserItemsBack)
{
    app.ignoresWrites();
    auto field = window.textField(QStringLiteral("你好")).focus();
    desktop.setClipboardItems({kUserItem});
    desktop.refuseClipboardText(true);

    const WriteResult result =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), true);

    EXPECT_EQ(message(result), L10n::text(L10N_KEY("无法写入系统剪贴板")));
    EXPECT_EQ(desktop.clipboardItems(), QList<ClipboardItem>{kUserItem});
    EXPECT_TRUE(desktop.postedKeys().isEmpty());
    EXPECT_EQ(field.currentValue(), QStringLiteral("你好"));
}

TEST_F(TextWriterTest, UnpostablePasteIsReportedUnverified)
{
    app.ignoresWrites();
    window.textField(QStringLiteral("你好")).focus();
    desktop.breakKeyboard(true);
    const WriteResult result =
        engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read(), true);
    EXPECT_EQ(message(result), L10n::text(L10N_KEY("未能验证粘贴结果，请检查输入框；不会自动重试")));
}

// --- Selected range ---

TEST_F(TextWriterTest, ReplacingTheUsersSelectionKeepsOtherTextAndCountsUtf16)
{
    // "😀 你好 end": the emoji takes two units, so "你好" starts at 3.
    const QString value = QStringLiteral("\U0001F600 你好 end");
    auto field = window.textField(value).selection(3, 2).focus();

    const WriteResult result = engine.replaceSelectedText(QStringLiteral("你好"), QStringLiteral("hello"),
                                                          read(), value, TextRange{3, 2}, false, true);

    EXPECT_TRUE(result.isSuccess());
    EXPECT_EQ(field.currentValue(), QStringLiteral("\U0001F600 hello end"));
    EXPECT_EQ(desktop.writesTo(field), QStringList{AXAttribute::selectedText});
}

TEST_F(TextWriterTest, ReplacingTheUsersSelectionNeverMovesIt)
{
    const QString value = QStringLiteral("one two three");
    auto field = window.textField(value).selection(0, 3).focus();

    const WriteResult result = engine.replaceSelectedText(QStringLiteral("two"), QStringLiteral("2"), read(),
                                                          value, TextRange{4, 3}, true, true);

    EXPECT_EQ(message(result), L10n::text(L10N_KEY("当前选区已变化；未执行替换")));
    EXPECT_EQ(field.currentSelection(), (TextRange{0, 3}));
    EXPECT_TRUE(desktop.writesTo(field).isEmpty());
}

TEST_F(TextWriterTest, RestoringOverASelectionReplacementSelectsTheRangeItself)
{
    const QString written = QStringLiteral("one 2 three");
    auto field = window.textField(written).selection(11, 0).focus();

    const WriteResult result = engine.replaceSelectedText(QStringLiteral("2"), QStringLiteral("two"), read(),
                                                          written, TextRange{4, 1}, false, false);

    EXPECT_TRUE(result.isSuccess());
    EXPECT_EQ(field.currentValue(), QStringLiteral("one two three"));
    EXPECT_EQ(desktop.writesTo(field),
              (QStringList{AXAttribute::selectedTextRange, AXAttribute::selectedText}));
}

TEST_F(TextWriterTest, SelectionPreconditionsAndUnconfirmedResults)
{
    const QString value = QStringLiteral("one two three");
    window.textField(value).selection(4, 3).focus();
    const FocusedField snapshot = read();

    EXPECT_EQ(message(engine.replaceSelectedText(QStringLiteral("TWO"), QStringLiteral("2"), snapshot, value,
                                                 TextRange{4, 3}, true, true)),
              L10n::text(L10N_KEY("输入框、选区或内容已变化；未执行替换")))
        << "the text in the range must still be the original";
    EXPECT_EQ(message(engine.replaceSelectedText(QStringLiteral("two"), QStringLiteral("2"), snapshot,
                                                 QStringLiteral("one two"), TextRange{4, 3}, true, true)),
              L10n::text(L10N_KEY("输入框、选区或内容已变化；未执行替换")));
    EXPECT_EQ(desktop.attributeWrites(), 0);

    app.rewritesWritesTo(QStringLiteral("garbled"));
    EXPECT_EQ(message(engine.replaceSelectedText(QStringLiteral("two"), QStringLiteral("2"), snapshot, value,
                                                 TextRange{4, 3}, true, true)),
              L10n::text(L10N_KEY("目标应用未确认选区写入结果；请检查输入框")));
    EXPECT_TRUE(desktop.postedKeys().isEmpty());
}

TEST_F(TextWriterTest, IgnoredSelectionWritePastesOnlyInCompatibilityMode)
{
    app.ignoresWrites();
    const QString value = QStringLiteral("one two three");
    auto field = window.textField(value).selection(4, 3).focus();
    desktop.setClipboardItems({kUserItem});

    EXPECT_EQ(message(engine.replaceSelectedText(QStringLiteral("two"), QStringLiteral("2"), read(), value,
                                                 TextRange{4, 3}, false, true)),
              L10n::text(L10N_KEY("该应用不支持安全地修改选区；已停止替换")));
    EXPECT_TRUE(desktop.postedKeys().isEmpty());

    const WriteResult result = engine.replaceSelectedText(QStringLiteral("two"), QStringLiteral("2"), read(),
                                                          value, TextRange{4, 3}, true, true);
    EXPECT_EQ(result, WriteResult::success(L10n::text(L10N_KEY("剪贴板兼容模式"))));
    EXPECT_EQ(field.currentValue(), QStringLiteral("one 2 three"));
    EXPECT_EQ(desktop.clipboardItems(), QList<ClipboardItem>{kUserItem});
}

TEST_F(TextWriterTest, GuardFailingJustBeforeTheWriteCancelsIt)
{
    auto field = window.textField(QStringLiteral("你好")).focus();
    const FocusedField snapshot = read();
    int checks = 0;
    // Authorized for the preconditions, revoked by the time the value would be set.
    engine.setAuthorizeWrite([&] { return ++checks < 2; });

    EXPECT_EQ(
        message(engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), snapshot, false)),
        L10n::text(L10N_KEY("操作已取消；未执行替换")));
    EXPECT_EQ(field.currentValue(), QStringLiteral("你好"));
    EXPECT_EQ(desktop.attributeWrites(), 0);

    checks = 0;
    engine.setAuthorizeWrite([] { return false; });
    EXPECT_EQ(
        message(engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), snapshot, false)),
        L10n::text(L10N_KEY("当前焦点或文本已变化；未执行替换")));
}

} // namespace
} // namespace qw
