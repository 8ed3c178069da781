// What the bubble shows in each state of the model, in both interface languages, without widgets.
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

struct Texts {
    const char* zh;
    const char* en;
    QString in(InterfaceLanguage language) const
    {
        return QString::fromUtf8(language == InterfaceLanguage::english ? en : zh);
    }
};

struct Row {
    const char* situation;
    unsigned flags;
    std::optional<SelectedTranslationKind> kind;
    BubbleSymbol symbol;
    Texts title;
    bool translationShown;
    // The visible buttons left to right; "-" marks a disabled one.
    Texts buttons;
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
constexpr Texts kInputTitle{"输入翻译", "Input translation"};
constexpr Texts kFailedTitle{"翻译或回填未完成", "Did not finish"};
constexpr Texts kReplacedTitle{"译文已替换 · 未发送", "Replaced · not sent"};

// One row per situation.
// clang-format off
const Row kRows[] = {
    {"working again, the older preview hidden", preview | translating, {}, BubbleSymbol::working,
     kInputTitle, false, {"", ""}},
    {"working on a page selection", translating, page, BubbleSymbol::working,
     {"页面翻译", "Page translation"}, false, {"", ""}},
    {"whole field ready", preview | replaceable, {}, BubbleSymbol::translation,
     kInputTitle, true, {"复制|替换到输入框", "Copy|Replace in field"}},
    {"stale after the field changed", preview, {}, BubbleSymbol::translation,
     kInputTitle, true, {"复制|-替换到输入框", "Copy|-Replace in field"}},
    {"replacement being verified, just copied", preview | validating | copied, {}, BubbleSymbol::translation,
     kInputTitle, true, {"已复制|-正在验证输入框…", "Copied|-Checking the text field…"}},
    {"selected part of a field ready", preview | replaceable, input, BubbleSymbol::translation,
     kInputTitle, true, {"复制|替换选中内容", "Copy|Replace selection"}},
    {"page selection: read, never written", preview, page, BubbleSymbol::translation,
     {"页面翻译", "Page translation"}, true, {"复制", "Copy"}},
    {"a newer text failed, the settings must fix it", preview | error | blocked, {}, BubbleSymbol::failed,
     kFailedTitle, false, {"重试|打开设置…", "Retry|Open settings…"}},
    {"write refused: the preview stays to copy or write again", preview | error | replaceable | blocked, {},
     BubbleSymbol::failed, kFailedTitle, true, {"重试|复制|替换到输入框", "Retry|Copy|Replace in field"}},
    {"replaced", undoOffer, {}, BubbleSymbol::replaced,
     kReplacedTitle, false, {"撤销替换", "Undo replacement"}},
    {"restore being verified", undoOffer | validating, {}, BubbleSymbol::replaced,
     kReplacedTitle, false, {"-正在验证输入框…", "-Checking the text field…"}},
    {"undo offer and error together: the undo offer's header", undoOffer | error, {}, BubbleSymbol::replaced,
     kReplacedTitle, false, {"撤销替换|重试", "Undo replacement|Retry"}},
};
// clang-format on

class BubbleContentStateTest : public ::testing::TestWithParam<InterfaceLanguage> {};

} // namespace

TEST_P(BubbleContentStateTest, EachModelStateShowsItsHeaderBodyAndButtons)
{
    const InterfaceLanguageScope language(GetParam());
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.situation);
        const BubbleContentInputs inputs = inputsOf(row.flags, row.kind);
        const BubbleContentState state = bubbleContentState(inputs);
        EXPECT_EQ(state.symbol, row.symbol);
        EXPECT_EQ(state.title, row.title.in(GetParam()));
        EXPECT_EQ(state.translation, row.translationShown ? inputs.translation : QString());
        EXPECT_EQ(visibleButtons(state), row.buttons.in(GetParam()));
    }
    // The body's line: the work, the error, or the replacement.
    EXPECT_EQ(bubbleContentState(inputsOf(translating, {})).message,
              (Texts{"正在生成译文…", "Translating…"}.in(GetParam())));
    EXPECT_EQ(bubbleContentState(inputsOf(error, {})).message, QStringLiteral("HTTP 500"));
    EXPECT_EQ(bubbleContentState(inputsOf(undoOffer, {})).message,
              (Texts{"已替换输入内容，未发送。", "The text in the field was replaced; nothing was sent."}.in(
                  GetParam())));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, BubbleContentStateTest,
                         ::testing::Values(InterfaceLanguage::chinese, InterfaceLanguage::english),
                         [](const auto& info) {
                             return std::string(info.param == InterfaceLanguage::english ? "en" : "zh");
                         });

TEST(BubbleContentStateLanguagesTest, PickersShowTheKindsPairAndTheMenuNamesWorkingHotkeys)
{
    const InterfaceLanguageScope language(InterfaceLanguage::english);
    BubbleContentInputs inputs = inputsOf(preview, page);
    inputs.pageSource = TranslationLanguage::french;
    inputs.pageTarget = TranslationLanguage::japanese;
    BubbleContentState state = bubbleContentState(inputs);
    EXPECT_EQ(std::pair(state.source, state.target),
              std::pair(TranslationLanguage::french, TranslationLanguage::japanese));
    EXPECT_EQ(state.ignoreTodayText, QStringLiteral("Ignore this app today"));

    inputs.selectedTranslationKind = input;
    inputs.appActionHotkeysActive = true;
    state = bubbleContentState(inputs);
    EXPECT_EQ(std::pair(state.source, state.target), std::pair(inputs.inputSource, inputs.inputTarget));
    EXPECT_EQ(state.ignoreTodayText, QStringLiteral("Ignore this app today   Ctrl+Alt+I"));
    EXPECT_EQ(state.revokeText, QStringLiteral("Stop translating this app…   Ctrl+Alt+Shift+I"));
    // Nothing to translate again once the text was written back.
    EXPECT_FALSE(bubbleContentState(inputsOf(undoOffer, {})).showLanguages);
}
