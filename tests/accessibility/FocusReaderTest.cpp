#include "accessibility/AXEngine.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
using test::DesktopApp;
using test::DesktopElement;
using test::SubstituteDesktop;

struct Scene {
    SubstituteDesktop desktop;
    AXEngine engine{desktop.platform()};
    DesktopApp app = desktop.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
    DesktopElement window = app.window();

    std::optional<FocusedField> read() { return engine.focusedField(app.running()); }
    DesktopApp other() { return desktop.addApplication(u"org.example.Other"_s, u"Other"_s); }
    // A field with the secret "hunter2" inside an editable group.
    DesktopElement inEditor(const QString& role)
    {
        return window.group().editable(true).value(u"outer"_s).child(role).value(u"hunter2"_s).editable(true);
    }
};

class FocusReaderTest : public ::testing::Test, protected Scene {};

TEST_F(FocusReaderTest, ReadsTheFocusedFieldWithCaretBoundsAndIdentity)
{
    auto field = window.textField(QStringLiteral("你好 world")).bounds(QRectF(10, 20, 300, 24)).focus();
    const auto found = read();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->element, field.handle());
    EXPECT_EQ(std::tuple(found->pid, found->bundleID, found->appName, found->role, found->value),
              std::tuple(app.pid(), QStringLiteral("org.example.Editor"), QStringLiteral("Editor"),
                         AXRole::textField, QStringLiteral("你好 world")));
    EXPECT_EQ(found->bounds, QRectF(10, 20, 300, 24));
    // A bare caret is a selection of length 0, not an unknown selection.
    EXPECT_EQ(found->selectedLength, 0);
    EXPECT_FALSE(engine.selectedRange(field.handle()).has_value());
    EXPECT_EQ(engine.lastDiagnostic(),
              L10n::format(L10N_KEY("%@ · 可读取 · 直接写入：%@ · 安全选区：%@"),
                           {AXRole::textField, L10n::text(L10N_KEY("是")), L10n::text(L10N_KEY("是"))}));

    // The field counts as still focused only while it has the focus of the frontmost application.
    EXPECT_TRUE(engine.isStillFocused(*found));
    window.textField(u"two"_s).focus();
    EXPECT_FALSE(engine.isStillFocused(*found));
    field.focus();
    EXPECT_TRUE(engine.isStillFocused(*found));
    desktop.clearFrontmost();
    EXPECT_FALSE(engine.isStillFocused(*found));

    // Missing or degenerate attributes leave the optional parts absent.
    auto nameless = desktop.addApplication(QString(), QString());
    nameless.window().textArea(QStringLiteral("text")).bounds(QRectF(5, 5, 0, 20)).noSelectionRange().focus();
    const auto bare = engine.focusedField(nameless.running());
    ASSERT_TRUE(bare.has_value());
    EXPECT_FALSE(bare->bounds.has_value()) << "a zero width is no usable rectangle";
    EXPECT_FALSE(bare->selectedLength.has_value());
    EXPECT_EQ(bare->bundleID, QString());
    EXPECT_EQ(bare->appName, L10n::text(L10N_KEY("未知应用")));
}

// Which field a read settles on from the focus (known by its value), or the diagnostic that says
// why none. Protected fields are refused even inside an editable ancestor, their value never read.
TEST(FocusSearchTest, FindsTheEditableFieldOrSaysWhyNot)
{
    const QString excluded = L10n::text(L10N_KEY("已排除受保护输入框"));
    const QString noField = L10n::text(L10N_KEY("未找到可编辑的文本框（可能是自定义富文本控件）"));
    const struct {
        const char* situation;
        std::function<void(Scene&)> focus;
        QString found; // the value of the field read, or the diagnostic
    } rows[] = {
        {"secure subrole in another case",
         [](Scene& s) { s.inEditor(AXRole::textField).subrole(AXRole::secureTextField).focus(); }, excluded},
        {"password role", [](Scene& s) { s.inEditor(AXRole::passwordField).focus(); }, excluded},
        {"text area that reports protected content",
         [](Scene& s) { s.inEditor(AXRole::textArea).protectedContent(true).focus(); }, excluded},
        // A text area counts without the editable flag; a non-editable group and a field whose
        // value cannot be read are passed over.
        {"walks up to the text area",
         [](Scene& s) { s.window.textArea(u"draft"_s).group().textField(u"x"_s).unreadableValue().focus(); },
         u"draft"_s},
        {"an editable group is a field",
         [](Scene& s) { s.window.group().value(u"rich"_s).editable(true).focus(); }, u"rich"_s},
        {"a group without the editable flag is not",
         [](Scene& s) { s.window.group().value(u"rich"_s).focus(); }, noField},
        {"three ancestors up is within reach",
         [](Scene& s) { s.window.textField(u"near"_s).group().group().focus(); }, u"near"_s},
        {"four ancestors up is too far",
         [](Scene& s) { s.window.textField(u"far"_s).group().group().group().group().focus(); }, noField},
        {"the focus of another process",
         [](Scene& s) {
             s.app.focusedElementError(AXErrorCode::cannotComplete).activate();
             s.desktop.setSystemWideFocus(s.other().window().textField(u"not yours"_s));
         },
         L10n::format(
             L10N_KEY("当前应用中没有获得焦点的输入框（应用/系统 AX 状态：%@）；请点击一个输入框后重试"),
             {QStringLiteral("-25204/0")})},
        // Started before accessibility was switched on: a restart, not a click, is the cure.
        {"an application that is not on the accessibility bus",
         [](Scene& s) { s.app.focusedElementError(AXErrorCode::notImplemented).activate(); },
         L10n::format(L10N_KEY("当前应用不在辅助功能总线上（应用/系统 AX 状态：%@）；请运行 quillweave "
                               "doctor enable，然后重新启动该应用"),
                      {QStringLiteral("-25208/-25212")})},
        // An embedded view of a helper process.
        {"a candidate that claims another process",
         [](Scene& s) { s.window.textField(u"proxy"_s).reportsPid(4242).group().focus(); },
         L10n::text(L10N_KEY("候选输入框进程不匹配"))},
        {"another application came to the front",
         [](Scene& s) {
             s.window.textField(u"x"_s).focus();
             s.other().activate();
         },
         L10n::text(L10N_KEY("前台应用已变化，等待下次检测"))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        Scene scene;
        row.focus(scene);
        const auto found = scene.read();
        EXPECT_EQ(found ? found->value : scene.engine.lastDiagnostic(), row.found);
        if (row.found == excluded) {
            EXPECT_EQ(scene.desktop.attributeReads(AXAttribute::value), 0);
        }
    }
}

TEST_F(FocusReaderTest, SlowApplicationEndsWithinTheDeadlinePlusOneElementTimeout)
{
    window.textField(QStringLiteral("x")).focus();
    app.slow();
    const QDateTime start = desktop.clock().now();
    engine.setDeadline(start.addMSecs(1000));
    EXPECT_FALSE(read().has_value());
    EXPECT_LE(start.msecsTo(desktop.clock().now()), 1000 + AXEngine::elementTimeout.count());
}

TEST_F(FocusReaderTest, ElectronWakeUpIsRetriedAtMostEveryThreeSecondsAndResetsOnAppSwitch)
{
    auto electron =
        desktop.addApplication(QStringLiteral("com.example.Chat"), QStringLiteral("Chat")).electron(2);
    electron.window().textField(QStringLiteral("hello")).focus();
    const auto readElectron = [&] {
        return engine.focusedField(electron.running());
    };

    EXPECT_FALSE(readElectron().has_value());
    desktop.clock().advance(2900ms);
    EXPECT_FALSE(readElectron().has_value());
    EXPECT_EQ(electron.wakeUpRequests(), 1) << "retried within three seconds";

    // Another application in front forgets the attempt; coming back tries again at once.
    window.textField(QStringLiteral("x")).focus();
    EXPECT_TRUE(read().has_value());
    electron.activate();
    EXPECT_FALSE(readElectron().has_value());
    EXPECT_EQ(electron.wakeUpRequests(), 2);

    desktop.clock().advance(3000ms);
    const auto woken = readElectron();
    ASSERT_TRUE(woken.has_value());
    EXPECT_EQ(woken->value, QStringLiteral("hello"));
    desktop.clock().advance(10s);
    readElectron();
    EXPECT_EQ(electron.wakeUpRequests(), 3) << "a finished wake-up is not repeated";
}

TEST_F(FocusReaderTest, SelectedTextPrefersTheAttributeThenCutsUtf16RangesFromTheValue)
{
    // "a😀b": the emoji is two UTF-16 units at location 1.
    auto field = window.textField(QStringLiteral("a\U0001F600b")).selection(1, 2);
    const auto selected = [&] {
        return engine.selectedText(field.handle());
    };
    EXPECT_EQ(selected(), QStringLiteral("\U0001F600"));
    field.selectedTextAttribute(QString());
    EXPECT_EQ(selected(), QStringLiteral("\U0001F600")) << "empty attribute falls back";
    field.selectedTextAttribute(QStringLiteral("from attribute"));
    EXPECT_EQ(selected(), QStringLiteral("from attribute"));
    field.selectedTextAttribute(QString()).selection(3, 1);
    EXPECT_EQ(selected(), QStringLiteral("b"));
    field.selection(4, 1);
    EXPECT_FALSE(selected().has_value());
}

// A selection in the focused field carries the field and its range; one under the pointer
// skips key-like text for its parent and has neither.
TEST_F(FocusReaderTest, UserSelectionInTheFieldOrUnderThePointer)
{
    auto field = window.textField(QStringLiteral("Hello wonderful world")).selection(6, 9).focus();
    const auto inField = engine.userSelectedText(app.running(), std::nullopt);
    ASSERT_TRUE(inField.has_value() && inField->field.has_value());
    EXPECT_EQ(inField->text, QStringLiteral("wonderful"));
    EXPECT_EQ(inField->field->element, field.handle());
    EXPECT_EQ(inField->range, (TextRange{6, 9}));

    field.selection(0, 0);
    auto page = window.group()
                    .bounds(QRectF(100, 200, 400, 300))
                    .selectedTextAttribute(QStringLiteral("Readable page text"));
    page.staticText(QStringLiteral("sk-abcdefghijklmnopqrstuvwxyz0123456789"))
        .bounds(QRectF(110, 210, 100, 20))
        .selection(0, 39);
    desktop.setPointer(QPointF(120, 215));
    const auto underPointer = engine.userSelectedText(app.running(), std::nullopt);
    ASSERT_TRUE(underPointer.has_value());
    EXPECT_EQ(underPointer->element, page.handle());
    EXPECT_EQ(underPointer->text, QStringLiteral("Readable page text"));
    EXPECT_FALSE(underPointer->field.has_value());
    EXPECT_FALSE(underPointer->range.has_value());
    EXPECT_EQ(underPointer->bounds, QRectF(100, 200, 400, 300));
}

} // namespace
} // namespace qw
