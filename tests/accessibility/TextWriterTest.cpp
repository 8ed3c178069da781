#include "accessibility/AXEngine.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::StringLiterals;
using test::DesktopApp;
using test::DesktopElement;
using test::SubstituteDesktop;

const ClipboardItem kUserItem{{{u"text/plain"_s, QByteArray("user copy")},
                               {u"text/html"_s, QByteArray("<b>user copy</b>")},
                               {u"image/png"_s, QByteArray("\x89PNG", 4)}}};
// The emoji takes two UTF-16 units: "two" starts at 7.
const QString kSentence = u"\U0001F600 one two three"_s;
const QString kReplaced = u"\U0001F600 one 2 three"_s;

enum class Write {
    whole,           // "你好" -> "Hello"
    wholeCompatible, // the same, the paste channel allowed
    wholeEmpty,      // "你好" -> ""
    selection,       // "two" of kSentence -> "2", the user's selection
    selectionCompatible,
    selectionOfOther,   // as if "TWO" had been translated
    selectionOfShorter, // as if the field had held "😀 one two"
    restore,            // "2" of kReplaced back to "two", selecting the range itself
};

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
    WriteResult write(Write kind, const FocusedField& read)
    {
        const TextRange two{7, 3};
        switch (kind) {
        case Write::whole:
        case Write::wholeCompatible:
            return engine.replaceEntireValue(u"你好"_s, u"Hello"_s, read, kind == Write::wholeCompatible);
        case Write::wholeEmpty:
            return engine.replaceEntireValue(u"你好"_s, QString(), read, true);
        case Write::selection:
        case Write::selectionCompatible:
            return engine.replaceSelectedText(u"two"_s, u"2"_s, read, kSentence, two,
                                              kind == Write::selectionCompatible, true);
        case Write::selectionOfOther:
            return engine.replaceSelectedText(u"TWO"_s, u"2"_s, read, kSentence, two, true, true);
        case Write::selectionOfShorter:
            return engine.replaceSelectedText(u"two"_s, u"2"_s, read, u"\U0001F600 one two"_s, two, true,
                                              true);
        case Write::restore:
            return engine.replaceSelectedText(u"2"_s, u"two"_s, read, kReplaced, {7, 1}, false, false);
        }
        return WriteResult::failure({});
    }

    SubstituteDesktop desktop;
    AXEngine engine{desktop.platform()};
    DesktopApp app = desktop.addApplication(u"org.example.Editor"_s, u"Editor"_s);
    DesktopElement window = app.window();
    DesktopElement field;
};

// Every write: how it ends for the user (the channel, or the message that says why not), what
// the field shows, and the keyboard and the user's clipboard (a paste is one Ctrl+V, never a
// select-all keystroke, and puts every type of the user's item back).
TEST(TextWriterTest, EachWriteLandsThroughItsChannelOrIsRefusedTouchingNothing)
{
    const auto ok = [](const QString& channel) {
        return WriteResult::success(L10n::text(channel));
    };
    const auto no = [](const QString& message) {
        return WriteResult::failure(L10n::text(message));
    };
    const WriteResult viaAccessibility = ok(L10N_KEY("辅助功能接口"));
    const WriteResult viaPaste = ok(L10N_KEY("剪贴板兼容模式"));
    const WriteResult notSettable = no(L10N_KEY("该输入框不支持直接修改。可在设置中开启剪贴板兼容模式再试"));
    const WriteResult changed =
        WriteResult::fieldChanged(L10n::text(L10N_KEY("当前焦点或文本已变化；未执行替换")));
    const WriteResult selectionChanged = no(L10N_KEY("输入框、选区或内容已变化；未执行替换"));
    using Step = std::function<void(Scene&)>;
    struct Row {
        const char* situation;
        bool ignoresWrites; // the application keeps its text: only a paste changes it
        Step before;        // before the field is read
        Step afterRead;
        Write write;
        WriteResult expected;
        QString after = {};                     // what the field shows; empty: unchanged
        std::optional<QStringList> writes = {}; // the attributes written, in order
    };
    const Step takesPasteLate = [](Scene& s) {
        s.desktop.takeSelectionAfter(std::chrono::milliseconds(300));
        s.desktop.takePasteAfter(std::chrono::milliseconds(600));
        s.engine.setDeadline(s.engine.currentTime().addSecs(2));
    };
    const Row rows[] = {
        {"whole value", false, {}, {}, Write::whole, viaAccessibility, u"Hello"_s, {{AXAttribute::value}}},
        {"whole value pasted", true, {}, {}, Write::wholeCompatible, viaPaste, u"Hello"_s},
        // A browser may show a written text a moment after accepting it: no paste follows.
        {"whole value shown late",
         false,
         [](Scene& s) { s.desktop.takeTextWritesAfter(std::chrono::milliseconds(600)); },
         {},
         Write::wholeCompatible,
         viaAccessibility,
         u"Hello"_s,
         {{AXAttribute::value}}},
        {"the user's selection",
         false,
         {},
         {},
         Write::selection,
         viaAccessibility,
         kReplaced,
         {{AXAttribute::selectedText}}},
        {"selection pasted", true, {}, {}, Write::selectionCompatible, viaPaste, kReplaced},
        // A browser selects the text and takes it from the clipboard a moment after being asked,
        // in another process: the selection is awaited and the clipboard still holds the
        // translation when the paste lands.
        {"whole value pasted, taken late",
         true,
         takesPasteLate,
         {},
         Write::wholeCompatible,
         viaPaste,
         u"Hello"_s},
        {"selection pasted, taken late",
         true,
         takesPasteLate,
         {},
         Write::selectionCompatible,
         viaPaste,
         kReplaced},
        {"restore",
         false,
         [](Scene& s) { s.field.value(kReplaced).selection(0, 0); },
         {},
         Write::restore,
         viaAccessibility,
         kSentence,
         {{AXAttribute::selectedTextRange, AXAttribute::selectedText}}},
        {"write ignored, no paste allowed", true, {}, {}, Write::whole, notSettable},
        {"value not settable",
         false,
         [](Scene& s) { s.field.valueSettable(false); },
         {},
         Write::whole,
         notSettable},
        {"a third text: one write, no retry, no paste",
         false,
         [](Scene& s) { s.app.rewritesWritesTo(u"something else"_s); },
         {},
         Write::wholeCompatible,
         no(L10N_KEY("目标应用未确认写入结果；请检查当前输入框")),
         u"something else"_s,
         {{AXAttribute::value}}},
        {"a selection made since the read",
         false,
         {},
         [](Scene& s) { s.field.selection(0, 1); },
         Write::wholeCompatible,
         changed},
        {"text changed since the read",
         false,
         {},
         [](Scene& s) { s.field.value(u"你好!"_s); },
         Write::wholeCompatible,
         changed},
        {"empty translation", false, {}, {}, Write::wholeEmpty, no(L10N_KEY("文本不符合安全替换规则"))},
        {"focus moved between the paste's two reads",
         true,
         [](Scene& s) {
             s.desktop.afterNextWrite(AXAttribute::selectedTextRange,
                                      [&s] { s.window.textField(u"other"_s).focus(); });
         },
         {},
         Write::wholeCompatible,
         no(L10N_KEY("焦点或文字已变化，取消粘贴"))},
        {"clipboard refuses the translation",
         true,
         [](Scene& s) { s.desktop.refuseClipboardText(true); },
         {},
         Write::wholeCompatible,
         no(L10N_KEY("无法写入系统剪贴板"))},
        {"no key events can be posted",
         true,
         [](Scene& s) { s.desktop.breakKeyboard(true); },
         {},
         Write::wholeCompatible,
         no(L10N_KEY("未能验证粘贴结果，请检查输入框；不会自动重试"))},
        {"authorization revoked just before the write",
         false,
         {},
         [](Scene& s) { s.engine.setAuthorizeWrite([n = 0]() mutable { return ++n < 2; }); },
         Write::whole,
         no(L10N_KEY("操作已取消；未执行替换"))},
        {"never authorized",
         false,
         {},
         [](Scene& s) { s.engine.setAuthorizeWrite([] { return false; }); },
         Write::whole,
         changed},
        // The user's selection is never moved to make room for the translation.
        {"the selection is elsewhere now",
         false,
         [](Scene& s) { s.field.selection(0, 3); },
         {},
         Write::selection,
         no(L10N_KEY("当前选区已变化；未执行替换")),
         {},
         QStringList{}},
        {"the range no longer holds the original", false, {}, {}, Write::selectionOfOther, selectionChanged},
        {"the field is not the value translated", false, {}, {}, Write::selectionOfShorter, selectionChanged},
        {"a selection write left a third text",
         false,
         [](Scene& s) { s.app.rewritesWritesTo(u"garbled"_s); },
         {},
         Write::selectionCompatible,
         no(L10N_KEY("目标应用未确认选区写入结果；请检查输入框")),
         u"garbled"_s},
        {"selection write ignored, no paste allowed",
         true,
         {},
         {},
         Write::selection,
         no(L10N_KEY("该应用不支持安全地修改选区；已停止替换"))},
    };
    const QList<KeyEvent> paste{{Qt::Key_V, Qt::ControlModifier, true},
                                {Qt::Key_V, Qt::ControlModifier, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        const bool selection = row.write >= Write::selection;
        Scene scene(selection ? kSentence : u"你好"_s);
        if (selection) {
            scene.field.selection(7, 3);
        }
        if (row.ignoresWrites) {
            scene.app.ignoresWrites();
        }
        if (row.before) {
            row.before(scene);
        }
        const TextRange selected = scene.field.currentSelection().value_or(TextRange{});
        const FocusedField read = scene.read();
        if (row.afterRead) {
            row.afterRead(scene);
        }
        const QString value = scene.field.currentValue().value_or(QString());
        EXPECT_EQ(scene.write(row.write, read), row.expected);
        EXPECT_EQ(scene.field.currentValue(), row.after.isEmpty() ? value : row.after);
        EXPECT_EQ(scene.desktop.postedKeys(), row.expected == viaPaste ? paste : QList<KeyEvent>{});
        EXPECT_EQ(scene.desktop.clipboardItems(), QList<ClipboardItem>{kUserItem});
        if (row.writes) {
            EXPECT_EQ(scene.desktop.writesTo(scene.field), *row.writes);
        }
        if (!row.expected.isSuccess() && selection && row.after.isEmpty()) {
            EXPECT_EQ(scene.field.currentSelection(), selected) << "the user's selection moved";
        }
    }
}

// After a paste the clipboard is the user's again, never newer content they copied meanwhile;
// an empty one stays empty, and types that could not be read are dropped.
TEST(TextWriterTest, PasteRestoresOnlyWhatTheUserHad)
{
    const ClipboardItem newer{{{u"text/plain"_s, QByteArray("copied meanwhile")}}};
    const ClipboardItem readable{{kUserItem.representations.at(0), kUserItem.representations.at(1)}};
    const struct {
        const char* situation;
        std::function<void(SubstituteDesktop&)> arrange;
        QList<ClipboardItem> after;
    } rows[] = {
        {"copied during the paste", [&](SubstituteDesktop& d) { d.copyDuringNextPaste({newer}); }, {newer}},
        {"empty", [](SubstituteDesktop& d) { d.setClipboardItems({}); }, {}},
        {"one type unreadable",
         [](SubstituteDesktop& d) { d.makeClipboardTypeUnreadable(u"image/png"_s); },
         {readable}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        Scene scene(u"你好"_s);
        scene.app.ignoresWrites();
        row.arrange(scene.desktop);
        EXPECT_TRUE(scene.write(Write::wholeCompatible, scene.read()).isSuccess());
        EXPECT_EQ(scene.desktop.clipboardItems(), row.after);
    }
}

} // namespace
} // namespace qw
