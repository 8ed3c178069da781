// What the bubble shows in each state of the model, in both interface languages, without widgets.
#include "bubble/BubbleContentState.h"

#include "tests/support/InterfaceLanguageScope.h"

#include <functional>
#include <gtest/gtest.h>

using namespace qw;
using namespace qw::test;

namespace {

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
    std::function<void(BubbleContentInputs&)> model;
    BubbleSymbol symbol;
    Texts title;
    Texts message;
    bool translationShown;
    // The visible buttons left to right; "-" marks a disabled one.
    Texts buttons;
};

const TranslationApplication kEditor{QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor")};

void ready(BubbleContentInputs& in)
{
    in.previewApplication = kEditor;
    in.showingPreview = true;
    in.translation = QStringLiteral("We meet today");
    in.canReplacePreview = true;
}

void failed(BubbleContentInputs& in)
{
    in.previewApplication = kEditor;
    in.showingError = true;
    in.translationErrorMessage = QStringLiteral("HTTP 500");
}

void replaced(BubbleContentInputs& in)
{
    in.previewApplication = kEditor;
    in.showingUndoOffer = true;
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

const Row kRows[] = {
    {"working on typed text",
     [](BubbleContentInputs& in) {
         in.previewApplication = kEditor;
         in.isTranslating = true;
     },
     BubbleSymbol::working,
     {"输入翻译", "Input translation"},
     {"正在生成译文…", "Translating…"},
     false,
     {"", ""}},
    {"working again while an older preview stays on screen",
     [](BubbleContentInputs& in) {
         ready(in);
         in.isTranslating = true;
         in.canReplacePreview = false;
     },
     BubbleSymbol::working,
     {"输入翻译", "Input translation"},
     {"正在生成译文…", "Translating…"},
     false,
     {"", ""}},
    {"working on a page selection",
     [](BubbleContentInputs& in) {
         in.isTranslating = true;
         in.selectedTranslationKind = SelectedTranslationKind::page;
     },
     BubbleSymbol::working,
     {"页面翻译", "Page translation"},
     {"正在生成译文…", "Translating…"},
     false,
     {"", ""}},
    {"whole field ready",
     ready,
     BubbleSymbol::translation,
     {"输入翻译", "Input translation"},
     {"", ""},
     true,
     {"复制|替换到输入框", "Copy|Replace in field"}},
    {"preview gone stale after the field changed",
     [](BubbleContentInputs& in) {
         ready(in);
         in.canReplacePreview = false;
     },
     BubbleSymbol::translation,
     {"输入翻译", "Input translation"},
     {"", ""},
     true,
     {"复制|-替换到输入框", "Copy|-Replace in field"}},
    {"replacement being verified",
     [](BubbleContentInputs& in) {
         ready(in);
         in.canReplacePreview = false;
         in.isValidatingReplacement = true;
     },
     BubbleSymbol::translation,
     {"输入翻译", "Input translation"},
     {"", ""},
     true,
     {"复制|-正在验证输入框…", "Copy|-Checking the text field…"}},
    {"just copied",
     [](BubbleContentInputs& in) {
         ready(in);
         in.copiedTranslation = true;
     },
     BubbleSymbol::translation,
     {"输入翻译", "Input translation"},
     {"", ""},
     true,
     {"已复制|替换到输入框", "Copied|Replace in field"}},
    {"selected part of a field ready",
     [](BubbleContentInputs& in) {
         ready(in);
         in.selectionPreview = true;
         in.selectedTranslationKind = SelectedTranslationKind::input;
     },
     BubbleSymbol::translation,
     {"输入翻译", "Input translation"},
     {"", ""},
     true,
     {"复制|替换选中内容", "Copy|Replace selection"}},
    {"page selection ready: read, never written",
     [](BubbleContentInputs& in) {
         ready(in);
         in.canReplacePreview = false;
         in.selectionPreview = true;
         in.selectedTranslationKind = SelectedTranslationKind::page;
     },
     BubbleSymbol::translation,
     {"页面翻译", "Page translation"},
     {"", ""},
     true,
     {"复制", "Copy"}},
    {"translation failed",
     failed,
     BubbleSymbol::failed,
     {"翻译或回填未完成", "Did not finish"},
     {"HTTP 500", "HTTP 500"},
     false,
     {"重试", "Retry"}},
    {"blocked by the settings",
     [](BubbleContentInputs& in) {
         failed(in);
         in.hasBlockingIssue = true;
     },
     BubbleSymbol::failed,
     {"翻译或回填未完成", "Did not finish"},
     {"HTTP 500", "HTTP 500"},
     false,
     {"重试|打开设置…", "Retry|Open settings…"}},
    {"a newer text failed: the older translation is not offered",
     [](BubbleContentInputs& in) {
         ready(in);
         failed(in);
         in.canReplacePreview = false;
         in.hasBlockingIssue = true;
     },
     BubbleSymbol::failed,
     {"翻译或回填未完成", "Did not finish"},
     {"HTTP 500", "HTTP 500"},
     false,
     {"重试|打开设置…", "Retry|Open settings…"}},
    {"write refused: the preview stays to copy or replace again",
     [](BubbleContentInputs& in) {
         ready(in);
         in.showingError = true;
         in.translationErrorMessage = QStringLiteral("HTTP 500");
         in.hasBlockingIssue = true;
     },
     BubbleSymbol::failed,
     {"翻译或回填未完成", "Did not finish"},
     {"HTTP 500", "HTTP 500"},
     true,
     {"重试|复制|替换到输入框", "Retry|Copy|Replace in field"}},
    {"replaced",
     replaced,
     BubbleSymbol::replaced,
     {"译文已替换 · 未发送", "Replaced · not sent"},
     {"已替换输入内容，未发送。", "The text in the field was replaced; nothing was sent."},
     false,
     {"撤销替换", "Undo replacement"}},
    {"restore being verified",
     [](BubbleContentInputs& in) {
         replaced(in);
         in.isValidatingReplacement = true;
     },
     BubbleSymbol::replaced,
     {"译文已替换 · 未发送", "Replaced · not sent"},
     {"已替换输入内容，未发送。", "The text in the field was replaced; nothing was sent."},
     false,
     {"-正在验证输入框…", "-Checking the text field…"}},
    {"undo offer and error together: the undo offer's header",
     [](BubbleContentInputs& in) {
         failed(in);
         in.showingUndoOffer = true;
     },
     BubbleSymbol::replaced,
     {"译文已替换 · 未发送", "Replaced · not sent"},
     {"HTTP 500", "HTTP 500"},
     false,
     {"撤销替换|重试", "Undo replacement|Retry"}},
};

class BubbleContentStateTest : public ::testing::TestWithParam<InterfaceLanguage> {};

} // namespace

TEST_P(BubbleContentStateTest, EachModelStateShowsItsHeaderBodyAndButtons)
{
    const InterfaceLanguageScope language(GetParam());
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.situation);
        BubbleContentInputs inputs;
        row.model(inputs);
        const BubbleContentState state = bubbleContentState(inputs);
        EXPECT_EQ(state.symbol, row.symbol);
        EXPECT_EQ(state.title, row.title.in(GetParam()));
        EXPECT_EQ(state.message, row.message.in(GetParam()));
        EXPECT_EQ(state.translation, row.translationShown ? inputs.translation : QString());
        EXPECT_EQ(visibleButtons(state), row.buttons.in(GetParam()));
    }
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, BubbleContentStateTest,
                         ::testing::Values(InterfaceLanguage::chinese, InterfaceLanguage::english),
                         [](const auto& info) {
                             return std::string(info.param == InterfaceLanguage::english ? "en" : "zh");
                         });

TEST(BubbleContentStateLanguagesTest, ThePickersShowThePairOfTheTranslationsKind)
{
    BubbleContentInputs inputs;
    ready(inputs);
    inputs.inputSource = TranslationLanguage::automatic;
    inputs.inputTarget = TranslationLanguage::german;
    inputs.pageSource = TranslationLanguage::french;
    inputs.pageTarget = TranslationLanguage::japanese;
    BubbleContentState state = bubbleContentState(inputs);
    EXPECT_TRUE(state.showLanguages);
    EXPECT_EQ(state.languageKind, SelectedTranslationKind::input);
    EXPECT_EQ(std::pair(state.source, state.target),
              std::pair(TranslationLanguage::automatic, TranslationLanguage::german));

    inputs.selectedTranslationKind = SelectedTranslationKind::page;
    state = bubbleContentState(inputs);
    EXPECT_EQ(state.languageKind, SelectedTranslationKind::page);
    EXPECT_EQ(std::pair(state.source, state.target),
              std::pair(TranslationLanguage::french, TranslationLanguage::japanese));

    // Nothing to translate again once the text was written back.
    replaced(inputs);
    EXPECT_FALSE(bubbleContentState(inputs).showLanguages);
}

TEST(BubbleContentStateLanguagesTest, TheMenuNamesTheHotkeysOnlyWhileTheyWork)
{
    const InterfaceLanguageScope language(InterfaceLanguage::english);
    BubbleContentInputs inputs;
    ready(inputs);
    inputs.appActionHotkeysActive = true;
    BubbleContentState state = bubbleContentState(inputs);
    EXPECT_EQ(state.application, kEditor);
    EXPECT_EQ(state.ignoreTodayText, QStringLiteral("Ignore this app today   Ctrl+Alt+I"));
    EXPECT_EQ(state.revokeText, QStringLiteral("Stop translating this app…   Ctrl+Alt+Shift+I"));
    inputs.appActionHotkeysActive = false;
    state = bubbleContentState(inputs);
    EXPECT_EQ(state.ignoreTodayText, QStringLiteral("Ignore this app today"));
    EXPECT_EQ(state.revokeText, QStringLiteral("Stop translating this app…"));
}
