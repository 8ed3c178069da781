// What the bubble shows in each state of the model, without widgets. Both tables hold every text
// in both languages (the table test), so the Chinese texts stand for both.
#include "bubble/BubbleContentState.h"

#include "tests/support/InterfaceLanguageScope.h"

#include <gtest/gtest.h>

using namespace qw;
using namespace qw::test;

namespace {

// The model's flags a row sets.
enum Flag : unsigned {
    preview = 1,
    translating = 2,
    error = 4,
    undoOffer = 8,
    validating = 16,
    copied = 32,
    replaceable = 64,
    blocked = 128,
};

struct Row {
    const char* situation;
    unsigned flags;
    std::optional<SelectedTranslationKind> kind;
    BubbleSymbol symbol;
    const char* title;
    bool translationShown;
    // The visible buttons left to right; "-" marks a disabled one.
    const char* buttons;
};

BubbleContentInputs inputsOf(unsigned flags, std::optional<SelectedTranslationKind> kind)
{
    BubbleContentInputs in;
    in.previewApplication =
        TranslationApplication{QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Editor")};
    in.translation = QStringLiteral("We meet today");
    in.translationErrorMessage = QStringLiteral("HTTP 500");
    in.selectedTranslationKind = kind;
    in.showingPreview = flags & preview;
    in.isTranslating = flags & translating;
    in.showingError = flags & error;
    in.showingUndoOffer = flags & undoOffer;
    in.isValidatingReplacement = flags & validating;
    in.copiedTranslation = flags & copied;
    in.canReplacePreview = flags & replaceable;
    in.hasBlockingIssue = flags & blocked;
    return in;
}

QString visibleButtons(const BubbleContentState& state)
{
    QStringList shown;
    for (const BubbleButtonState* button :
         {&state.undo, &state.retry, &state.openSettings, &state.copy, &state.replace}) {
        if (button->visible)
            shown << (button->enabled ? QString() : QStringLiteral("-")) + button->text;
    }
    return shown.join(u'|');
}

constexpr auto input = SelectedTranslationKind::input;
constexpr auto page = SelectedTranslationKind::page;
constexpr const char* kInputTitle = "输入翻译";
constexpr const char* kFailedTitle = "翻译或回填未完成";
constexpr const char* kReplacedTitle = "译文已替换 · 未发送";

// One row per situation; the working row also hides the older preview.
using enum BubbleSymbol;
// clang-format off
const Row kRows[] = {
    {"working again on a page selection", preview | translating, page, working, "页面翻译", false, ""},
    {"whole field ready", preview | replaceable, {}, translation, kInputTitle, true, "复制|替换到输入框"},
    {"stale after the field changed", preview, {}, translation, kInputTitle, true, "复制|-替换到输入框"},
    {"replacement being verified, just copied", preview | validating | copied, {}, translation, kInputTitle,
     true, "已复制|-正在验证输入框…"},
    {"selected part of a field ready", preview | replaceable, input, translation, kInputTitle, true,
     "复制|替换选中内容"},
    {"page selection: read, never written", preview, page, translation, "页面翻译", true, "复制"},
    {"a newer text failed, the settings must fix it", preview | error | blocked, {}, failed, kFailedTitle,
     false, "重试|打开设置…"},
    {"write refused: the preview stays to copy or write again", preview | error | replaceable | blocked, {},
     failed, kFailedTitle, true, "重试|复制|替换到输入框"},
    {"replaced", undoOffer, {}, replaced, kReplacedTitle, false, "撤销替换"},
    {"restore being verified", undoOffer | validating, {}, replaced, kReplacedTitle, false, "-正在验证输入框…"},
    {"undo offer and error together: its header", undoOffer | error, {}, replaced, kReplacedTitle, false,
     "撤销替换|重试"},
};
// clang-format on

} // namespace

TEST(BubbleContentStateTest, EachModelStateShowsItsHeaderBodyAndButtons)
{
    const InterfaceLanguageScope language(InterfaceLanguage::chinese);
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.situation);
        const BubbleContentInputs inputs = inputsOf(row.flags, row.kind);
        const BubbleContentState state = bubbleContentState(inputs);
        EXPECT_EQ(state.symbol, row.symbol);
        EXPECT_EQ(state.title, QString::fromUtf8(row.title));
        EXPECT_EQ(state.translation, row.translationShown ? inputs.translation : QString());
        EXPECT_EQ(visibleButtons(state), QString::fromUtf8(row.buttons));
    }
    // The body's line: the work, the error, or the replacement.
    EXPECT_EQ(bubbleContentState(inputsOf(translating, {})).message, QStringLiteral("正在生成译文…"));
    EXPECT_EQ(bubbleContentState(inputsOf(error, {})).message, QStringLiteral("HTTP 500"));
    EXPECT_EQ(bubbleContentState(inputsOf(undoOffer, {})).message,
              QStringLiteral("已替换输入内容，未发送。"));
}
