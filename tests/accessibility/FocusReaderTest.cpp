#include "accessibility/AXEngine.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace std::chrono_literals;
using test::DesktopApp;
using test::DesktopElement;
using test::SubstituteDesktop;

class FocusReaderTest : public ::testing::Test {
protected:
    SubstituteDesktop desktop;
    AXEngine engine{desktop.platform()};
    DesktopApp app = desktop.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
    DesktopElement window = app.window();
};

TEST_F(FocusReaderTest, ReadsTheFocusedFieldWithCaretBoundsAndIdentity)
{
    auto field = window.textField(QStringLiteral("你好 world")).bounds(QRectF(10, 20, 300, 24)).focus();

    const auto read = engine.focusedField(app.running());

    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->element, field.handle());
    EXPECT_EQ(read->pid, app.pid());
    EXPECT_EQ(read->bundleID, QStringLiteral("org.example.Editor"));
    EXPECT_EQ(read->appName, QStringLiteral("Editor"));
    EXPECT_EQ(read->role, AXRole::textField);
    EXPECT_EQ(read->value, QStringLiteral("你好 world"));
    EXPECT_EQ(read->bounds, QRectF(10, 20, 300, 24));
    // A bare caret is a selection of length 0, not an unknown selection.
    EXPECT_EQ(read->selectedLength, 0);
    EXPECT_FALSE(engine.selectedRange(field.handle()).has_value());
    EXPECT_EQ(engine.lastDiagnostic(),
              L10n::format(L10N_KEY("%@ · 可读取 · 直接写入：%@ · 安全选区：%@"),
                           {AXRole::textField, L10n::text(L10N_KEY("是")), L10n::text(L10N_KEY("是"))}));
}

TEST_F(FocusReaderTest, MissingOrDegenerateAttributesLeaveOptionalPartsAbsent)
{
    auto nameless = desktop.addApplication(QString(), QString());
    auto field =
        nameless.window().textArea(QStringLiteral("text")).bounds(QRectF(5, 5, 0, 20)).noSelectionRange();
    field.focus();

    const auto read = engine.focusedField(nameless.running());

    ASSERT_TRUE(read.has_value());
    EXPECT_FALSE(read->bounds.has_value()) << "a zero width is no usable rectangle";
    EXPECT_FALSE(read->selectedLength.has_value());
    EXPECT_EQ(read->bundleID, QString());
    EXPECT_EQ(read->appName, L10n::text(L10N_KEY("未知应用")));
}

struct ProtectedCase {
    const char* situation;
    QString role;
    QString subrole;
    std::optional<bool> flag;
};

class ProtectedFieldTest : public FocusReaderTest, public ::testing::WithParamInterface<ProtectedCase> {};

TEST_P(ProtectedFieldTest, IsNeverReadEvenInsideAnEditableAncestor)
{
    const ProtectedCase& c = GetParam();
    auto editor = window.group().editable(true).value(QStringLiteral("outer text"));
    auto field = editor.child(c.role).value(QStringLiteral("hunter2")).editable(true);
    if (!c.subrole.isEmpty())
        field.subrole(c.subrole);
    if (c.flag)
        field.protectedContent(*c.flag);
    field.focus();

    EXPECT_FALSE(engine.focusedField(app.running()).has_value());
    EXPECT_EQ(engine.lastDiagnostic(), L10n::text(L10N_KEY("已排除受保护输入框")));
    EXPECT_EQ(desktop.attributeReads(AXAttribute::value), 0);
}

INSTANTIATE_TEST_SUITE_P(Roles, ProtectedFieldTest,
                         ::testing::Values(ProtectedCase{"secure subrole in another case", AXRole::textField,
                                                         AXRole::secureTextField, std::nullopt},
                                           ProtectedCase{"password role", AXRole::passwordField, QString(),
                                                         std::nullopt},
                                           ProtectedCase{"plain text area that reports protected content",
                                                         AXRole::textArea, QString(), true}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(FocusReaderTest, WalksUpPastNonFieldsToTheEditableAncestor)
{
    // A text area counts even without AXAttribute::editable; a non-editable group and a field whose
    // value cannot be read are passed over.
    auto area = window.textArea(QStringLiteral("draft"));
    auto group = area.group();
    auto unreadable = group.textField(QStringLiteral("x")).unreadableValue();
    unreadable.focus();

    const auto read = engine.focusedField(app.running());

    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->element, area.handle());
    EXPECT_EQ(read->role, AXRole::textArea);
}

TEST_F(FocusReaderTest, EditableContainerRolesNeedTheEditableFlag)
{
    auto editor = window.group().value(QStringLiteral("rich text"));
    editor.focus();
    EXPECT_FALSE(engine.focusedField(app.running()).has_value());

    editor.editable(true);
    const auto read = engine.focusedField(app.running());
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->role, AXRole::group);
}

TEST_F(FocusReaderTest, GivesUpAfterFourElements)
{
    auto field = window.textField(QStringLiteral("too far"));
    auto deepest = field.group().group().group().group();
    deepest.focus();
    EXPECT_FALSE(engine.focusedField(app.running()).has_value());
    EXPECT_EQ(engine.lastDiagnostic(),
              L10n::text(L10N_KEY("未找到可编辑的文本框（可能是自定义富文本控件）")));

    field.group().group().focus(); // three ancestors up is still within reach
    EXPECT_TRUE(engine.focusedField(app.running()).has_value());
}

TEST_F(FocusReaderTest, RejectsFocusOfAnotherProcessAndReportsBothCodes)
{
    auto other = desktop.addApplication(QStringLiteral("org.example.Other"), QStringLiteral("Other"));
    auto foreign = other.window().textField(QStringLiteral("not yours"));
    app.focusedElementError(AXErrorCode::cannotComplete).activate();
    desktop.setSystemWideFocus(foreign);

    EXPECT_FALSE(engine.focusedField(app.running()).has_value());
    EXPECT_EQ(engine.lastDiagnostic(),
              L10n::format(L10N_KEY("未取得当前应用的焦点控件（应用/系统 AX 状态：%@）；请聚焦输入框后重试"),
                           {QStringLiteral("-25204/0")}));
}

TEST_F(FocusReaderTest, CandidateThatClaimsAnotherProcessIsRejected)
{
    // The focused element belongs to the app, the field it sits in claims another process
    // (an embedded view of a helper process).
    auto field = window.textField(QStringLiteral("proxy")).reportsPid(4242);
    field.group().focus();
    EXPECT_FALSE(engine.focusedField(app.running()).has_value());
    EXPECT_EQ(engine.lastDiagnostic(), L10n::text(L10N_KEY("候选输入框进程不匹配")));
}

TEST_F(FocusReaderTest, AnotherFrontmostApplicationStopsTheRead)
{
    window.textField(QStringLiteral("x")).focus();
    desktop.addApplication(QStringLiteral("org.example.Other"), QStringLiteral("Other")).activate();
    EXPECT_FALSE(engine.focusedField(app.running()).has_value());
    EXPECT_EQ(engine.lastDiagnostic(), L10n::text(L10N_KEY("前台应用已变化，等待下次检测")));
}

TEST_F(FocusReaderTest, SlowApplicationEndsWithinTheDeadlinePlusOneElementTimeout)
{
    window.textField(QStringLiteral("x")).focus();
    app.slow();
    const QDateTime start = desktop.clock().now();
    engine.setDeadline(start.addMSecs(1000));

    EXPECT_FALSE(engine.focusedField(app.running()).has_value());
    EXPECT_LE(start.msecsTo(desktop.clock().now()), 1000 + AXEngine::elementTimeout.count());
}

TEST_F(FocusReaderTest, ElectronWakeUpIsRetriedAtMostEveryThreeSecondsAndResetsOnAppSwitch)
{
    auto electron =
        desktop.addApplication(QStringLiteral("com.example.Chat"), QStringLiteral("Chat")).electron(2);
    electron.window().textField(QStringLiteral("hello")).focus();

    EXPECT_FALSE(engine.focusedField(electron.running()).has_value());
    EXPECT_EQ(electron.wakeUpRequests(), 1);
    desktop.clock().advance(2900ms);
    EXPECT_FALSE(engine.focusedField(electron.running()).has_value());
    EXPECT_EQ(electron.wakeUpRequests(), 1) << "retried within three seconds";

    // Another application in front forgets the attempt; coming back tries again at once.
    window.textField(QStringLiteral("x")).focus();
    EXPECT_TRUE(engine.focusedField(app.running()).has_value());
    electron.activate();
    EXPECT_FALSE(engine.focusedField(electron.running()).has_value());
    EXPECT_EQ(electron.wakeUpRequests(), 2);

    desktop.clock().advance(3000ms);
    const auto read = engine.focusedField(electron.running());
    EXPECT_EQ(electron.wakeUpRequests(), 3);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value, QStringLiteral("hello"));

    desktop.clock().advance(10s);
    engine.focusedField(electron.running());
    EXPECT_EQ(electron.wakeUpRequests(), 3) << "a finished wake-up is not repeated";
}

TEST_F(FocusReaderTest, SelectedTextPrefersTheAttributeThenCutsUtf16RangesFromTheValue)
{
    // "a😀b": the emoji is two UTF-16 units at location 1.
    auto field = window.textField(QStringLiteral("a\U0001F600b")).selection(1, 2);
    EXPECT_EQ(engine.selectedText(field.handle()), QStringLiteral("\U0001F600"));
    field.selectedTextAttribute(QString());
    EXPECT_EQ(engine.selectedText(field.handle()), QStringLiteral("\U0001F600"))
        << "empty attribute falls back";
    field.selectedTextAttribute(QStringLiteral("from attribute"));
    EXPECT_EQ(engine.selectedText(field.handle()), QStringLiteral("from attribute"));
    field.selectedTextAttribute(QString()).selection(3, 1);
    EXPECT_EQ(engine.selectedText(field.handle()), QStringLiteral("b"));
    field.selection(4, 1);
    EXPECT_FALSE(engine.selectedText(field.handle()).has_value());
}

TEST_F(FocusReaderTest, SelectionInTheFocusedFieldCarriesFieldAndRange)
{
    auto field = window.textField(QStringLiteral("Hello wonderful world")).selection(6, 9).focus();

    const auto selection = engine.userSelectedText(app.running(), std::nullopt);

    ASSERT_TRUE(selection.has_value());
    EXPECT_EQ(selection->text, QStringLiteral("wonderful"));
    ASSERT_TRUE(selection->field.has_value());
    EXPECT_EQ(selection->field->element, field.handle());
    EXPECT_EQ(selection->range, (TextRange{6, 9}));
}

TEST_F(FocusReaderTest, SelectionUnderThePointerSkipsSensitiveTextAndHasNoField)
{
    window.textField(QStringLiteral("typing")).focus();
    auto page = window.group()
                    .bounds(QRectF(100, 200, 400, 300))
                    .selectedTextAttribute(QStringLiteral("Readable page text"));
    auto secret = page.staticText(QStringLiteral("sk-abcdefghijklmnopqrstuvwxyz0123456789"))
                      .bounds(QRectF(110, 210, 100, 20))
                      .selection(0, 39);
    desktop.setPointer(QPointF(120, 215));
    Q_UNUSED(secret);

    const auto selection = engine.userSelectedText(app.running(), std::nullopt);

    ASSERT_TRUE(selection.has_value());
    EXPECT_EQ(selection->element, page.handle()) << "the key-like selection is skipped for its parent";
    EXPECT_EQ(selection->text, QStringLiteral("Readable page text"));
    EXPECT_FALSE(selection->field.has_value());
    EXPECT_FALSE(selection->range.has_value());
    EXPECT_EQ(selection->bounds, QRectF(100, 200, 400, 300));
}

TEST_F(FocusReaderTest, StillFocusedFollowsTheFocus)
{
    auto field = window.textField(QStringLiteral("one")).focus();
    const auto read = engine.focusedField(app.running());
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(engine.isStillFocused(*read));
    window.textField(QStringLiteral("two")).focus();
    EXPECT_FALSE(engine.isStillFocused(*read));
    field.focus();
    desktop.clearFrontmost();
    EXPECT_FALSE(engine.isStillFocused(*read));
}

} // namespace
} // namespace qw
