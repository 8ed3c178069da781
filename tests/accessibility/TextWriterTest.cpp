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
const QString kSentence = QStringLiteral("one two three");

// An editor whose focused field holds `value`, with the user's item on the clipboard.
struct Scene {
    explicit Scene(const QString& value) : field(window.textField(value).focus())
    {
        desktop.setClipboardItems({kUserItem});
    }
    FocusedField read()
    {
        auto found = engine.focusedField(app.running());
        EXPECT_TRUE(found.has_value()) << engine.lastDiagnostic().toStdString();
        return found.value_or(FocusedField{});
    }
    WriteResult replaceAll(const QString& from, const QString& to, bool compatibility)
    {
        return engine.replaceEntireValue(from, to, read(), compatibility);
    }
    // Replaces "two" of kSentence, selected by the user at 4.
    WriteResult replaceTwo(bool compatibility, const QString& original = QStringLiteral("two"),
                           const QString& expectedValue = kSentence)
    {
        return engine.replaceSelectedText(original, QStringLiteral("2"), read(), expectedValue,
                                          TextRange{4, 3}, compatibility, true);
    }

    SubstituteDesktop desktop;
    AXEngine engine{desktop.platform()};
    DesktopApp app = desktop.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
    DesktopElement window = app.window();
    DesktopElement field;
};

const QString kAccessibility = L10n::text(L10N_KEY("辅助功能接口"));
const QString kPaste = L10n::text(L10N_KEY("剪贴板兼容模式"));

// Each write that must not happen: the message the user reads, and the field, the keyboard and
// the user's clipboard left alone (a third text an application wrote is left for the user).
TEST(TextWriterTest, RefusedWritesSayWhyAndTouchNothing)
{
    const QString notSettable =
        L10n::text(L10N_KEY("该输入框不支持直接修改。可在设置中开启剪贴板兼容模式再试"));
    const QString changed = L10n::text(L10N_KEY("当前焦点或文本已变化；未执行替换"));
    const QString selectionChanged = L10n::text(L10N_KEY("输入框、选区或内容已变化；未执行替换"));
    struct Row {
        const char* situation;
        QString value;
        std::function<WriteResult(Scene&)> write;
        QString message;
        bool fieldKept = true;
    };
    const Row rows[] = {
        {"write ignored, no compatibility mode", QStringLiteral("你好"),
         [](Scene& s) {
             s.app.ignoresWrites();
             return s.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), false);
         },
         notSettable},
        {"value not settable", QStringLiteral("你好"),
         [](Scene& s) {
             s.field.valueSettable(false);
             return s.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), false);
         },
         notSettable},
        {"a third text is unconfirmed: one write, no retry, no paste", QStringLiteral("你好"),
         [](Scene& s) {
             s.app.rewritesWritesTo(QStringLiteral("something else"));
             const WriteResult result = s.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), true);
             EXPECT_EQ(s.desktop.writesTo(s.field), QStringList{AXAttribute::value});
             return result;
         },
         L10n::text(L10N_KEY("目标应用未确认写入结果；请检查当前输入框")), false},
        {"a selection made since the read", QStringLiteral("你好世界"),
         [](Scene& s) {
             const FocusedField read = s.read();
             s.field.selection(0, 2);
             return s.engine.replaceEntireValue(QStringLiteral("你好世界"), QStringLiteral("Hi"), read, true);
         },
         changed},
        {"text changed since the read", QStringLiteral("你好世界"),
         [](Scene& s) {
             const FocusedField read = s.read();
             s.field.value(QStringLiteral("你好世界!"));
             return s.engine.replaceEntireValue(QStringLiteral("你好世界"), QStringLiteral("Hi"), read, true);
         },
         changed, false},
        {"empty translation", QStringLiteral("你好世界"),
         [](Scene& s) { return s.replaceAll(QStringLiteral("你好世界"), QString(), true); },
         L10n::text(L10N_KEY("文本不符合安全替换规则"))},
        {"focus moved to another field between the paste's two reads", QStringLiteral("你好"),
         [](Scene& s) {
             s.app.ignoresWrites();
             auto elsewhere = s.window.textField(QStringLiteral("other"));
             s.desktop.afterNextWrite(AXAttribute::selectedTextRange,
                                      [elsewhere]() mutable { elsewhere.focus(); });
             const WriteResult result = s.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), true);
             EXPECT_EQ(elsewhere.currentValue(), QStringLiteral("other"));
             return result;
         },
         L10n::text(L10N_KEY("焦点或文字已变化，取消粘贴"))},
        {"clipboard refuses the translation", QStringLiteral("你好"),
         [](Scene& s) {
             s.app.ignoresWrites();
             s.desktop.refuseClipboardText(true);
             return s.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), true);
         },
         L10n::text(L10N_KEY("无法写入系统剪贴板"))},
        {"no key events can be posted", QStringLiteral("你好"),
         [](Scene& s) {
             s.app.ignoresWrites();
             s.desktop.breakKeyboard(true);
             return s.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), true);
         },
         L10n::text(L10N_KEY("未能验证粘贴结果，请检查输入框；不会自动重试"))},
        {"authorization revoked just before the write", QStringLiteral("你好"),
         [](Scene& s) {
             const FocusedField read = s.read();
             int checks = 0;
             s.engine.setAuthorizeWrite([checks]() mutable { return ++checks < 2; });
             return s.engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read, false);
         },
         L10n::text(L10N_KEY("操作已取消；未执行替换"))},
        {"never authorized", QStringLiteral("你好"),
         [](Scene& s) {
             const FocusedField read = s.read();
             s.engine.setAuthorizeWrite([] { return false; });
             return s.engine.replaceEntireValue(QStringLiteral("你好"), QStringLiteral("Hello"), read, false);
         },
         changed},
        // The user's selection is never moved to make room for the translation.
        {"the selection is elsewhere now", kSentence,
         [](Scene& s) {
             s.field.selection(0, 3);
             const WriteResult result = s.replaceTwo(true);
             EXPECT_EQ(s.field.currentSelection(), (TextRange{0, 3}));
             return result;
         },
         L10n::text(L10N_KEY("当前选区已变化；未执行替换"))},
        {"the range no longer holds the original", kSentence,
         [](Scene& s) {
             s.field.selection(4, 3);
             return s.replaceTwo(true, QStringLiteral("TWO"));
         },
         selectionChanged},
        {"the field is not the value translated", kSentence,
         [](Scene& s) {
             s.field.selection(4, 3);
             return s.replaceTwo(true, QStringLiteral("two"), QStringLiteral("one two"));
         },
         selectionChanged},
        {"a selection write left a third text", kSentence,
         [](Scene& s) {
             s.field.selection(4, 3);
             s.app.rewritesWritesTo(QStringLiteral("garbled"));
             return s.replaceTwo(true);
         },
         L10n::text(L10N_KEY("目标应用未确认选区写入结果；请检查输入框")), false},
        {"selection write ignored, no compatibility mode", kSentence,
         [](Scene& s) {
             s.field.selection(4, 3);
             s.app.ignoresWrites();
             return s.replaceTwo(false);
         },
         L10n::text(L10N_KEY("该应用不支持安全地修改选区；已停止替换"))},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        Scene scene(row.value);
        EXPECT_EQ(row.write(scene).message(), row.message);
        if (row.fieldKept) {
            EXPECT_EQ(scene.field.currentValue(), row.value);
        }
        EXPECT_TRUE(scene.desktop.postedKeys().isEmpty());
        EXPECT_EQ(scene.desktop.clipboardItems(), QList<ClipboardItem>{kUserItem});
    }
}

// Each write that succeeds: the channel, the text the field shows, and the attributes written
// (a replaced selection counts UTF-16 units; a restore selects its range itself).
TEST(TextWriterTest, WritesLandThroughTheirChannel)
{
    struct Row {
        const char* situation;
        QString value;
        std::function<WriteResult(Scene&)> write;
        QString channel;
        QString after;
        QStringList writes; // empty: not checked
    };
    const QString emoji = QStringLiteral("\U0001F600 你好 end");
    const Row rows[] = {
        {"whole value through accessibility",
         QStringLiteral("你好世界"),
         [](Scene& s) {
             return s.replaceAll(QStringLiteral("你好世界"), QStringLiteral("Hello world"), false);
         },
         kAccessibility,
         QStringLiteral("Hello world"),
         {AXAttribute::value}},
        {"whole value pasted in compatibility mode",
         QStringLiteral("你好"),
         [](Scene& s) {
             s.app.ignoresWrites();
             return s.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), true);
         },
         kPaste,
         QStringLiteral("Hello"),
         {}},
        {"the user's selection after an emoji",
         emoji,
         [emoji](Scene& s) {
             s.field.selection(3, 2);
             return s.engine.replaceSelectedText(QStringLiteral("你好"), QStringLiteral("hello"), s.read(),
                                                 emoji, TextRange{3, 2}, false, true);
         },
         kAccessibility,
         QStringLiteral("\U0001F600 hello end"),
         {AXAttribute::selectedText}},
        {"restoring over a replaced selection",
         QStringLiteral("one 2 three"),
         [](Scene& s) {
             return s.engine.replaceSelectedText(QStringLiteral("2"), QStringLiteral("two"), s.read(),
                                                 QStringLiteral("one 2 three"), TextRange{4, 1}, false,
                                                 false);
         },
         kAccessibility,
         kSentence,
         {AXAttribute::selectedTextRange, AXAttribute::selectedText}},
        {"selection pasted in compatibility mode",
         kSentence,
         [](Scene& s) {
             s.field.selection(4, 3);
             s.app.ignoresWrites();
             return s.replaceTwo(true);
         },
         kPaste,
         QStringLiteral("one 2 three"),
         {}},
    };
    // One Ctrl+V and nothing else: never a select-all keystroke.
    const QList<KeyEvent> paste{{Qt::Key_V, Qt::ControlModifier, true},
                                {Qt::Key_V, Qt::ControlModifier, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        Scene scene(row.value);
        EXPECT_EQ(row.write(scene), WriteResult::success(row.channel));
        EXPECT_EQ(scene.field.currentValue(), row.after);
        if (!row.writes.isEmpty()) {
            EXPECT_EQ(scene.desktop.writesTo(scene.field), row.writes);
        }
        EXPECT_EQ(scene.desktop.postedKeys(), row.channel == kPaste ? paste : QList<KeyEvent>{});
        EXPECT_EQ(scene.desktop.clipboardItems(), QList<ClipboardItem>{kUserItem})
            << "every type of the user's item is back";
    }
}

// After a paste the clipboard is the user's again, never newer content they copied meanwhile;
// an empty one stays empty, and types that could not be read are dropped.
TEST(TextWriterTest, PasteRestoresOnlyWhatTheUserHad)
{
    const ClipboardItem newer{{{QStringLiteral("text/plain"), QByteArray("copied meanwhile")}}};
    const ClipboardItem readable{{kUserItem.representations.at(0), kUserItem.representations.at(1)}};
    const struct {
        const char* situation;
        std::function<void(SubstituteDesktop&)> arrange;
        QList<ClipboardItem> after;
    } rows[] = {
        {"copied during the paste", [&](SubstituteDesktop& d) { d.copyDuringNextPaste({newer}); }, {newer}},
        {"empty", [](SubstituteDesktop& d) { d.setClipboardItems({}); }, {}},
        {"one type unreadable",
         [](SubstituteDesktop& d) { d.makeClipboardTypeUnreadable(QStringLiteral("image/png")); },
         {readable}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        Scene scene(QStringLiteral("你好"));
        scene.app.ignoresWrites();
        row.arrange(scene.desktop);
        EXPECT_TRUE(scene.replaceAll(QStringLiteral("你好"), QStringLiteral("Hello"), true).isSuccess());
        EXPECT_EQ(scene.desktop.clipboardItems(), row.after);
    }
}

} // namespace
} // namespace qw
