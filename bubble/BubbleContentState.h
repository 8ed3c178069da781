#pragma once

#include "engine/SelectedTranslationKind.h"
#include "engine/TranslationLanguage.h"
#include "model/TranslationApplication.h"

#include <QString>
#include <optional>

namespace qw {

class AppModel;

// What the bubble's content reads from the model, copied out so that the rules below are plain
// arithmetic on values.
struct BubbleContentInputs {
    bool showingPreview = false;
    bool showingUndoOffer = false;
    bool showingError = false;
    bool isTranslating = false;
    QString translation;
    QString translationErrorMessage;
    bool isValidatingReplacement = false;
    bool copiedTranslation = false;
    bool selectionPreview = false;
    std::optional<SelectedTranslationKind> selectedTranslationKind;
    std::optional<TranslationApplication> previewApplication;
    bool appActionHotkeysActive = false;
    TranslationLanguage inputSource = TranslationLanguage::chinese;
    TranslationLanguage inputTarget = TranslationLanguage::english;
    TranslationLanguage pageSource = TranslationLanguage::english;
    TranslationLanguage pageTarget = TranslationLanguage::chinese;
    bool canReplacePreview = false;
    bool hasBlockingIssue = false;

    static BubbleContentInputs of(const AppModel& model);
};

// The header's symbol; the widget turns it into an icon of the desktop's theme.
enum class BubbleSymbol { translation, working, replaced, failed };

struct BubbleButtonState {
    bool visible = false;
    bool enabled = false;
    QString text;

    friend bool operator==(const BubbleButtonState&, const BubbleButtonState&) = default;
};

// Everything the content shows, its texts already in the current interface language.
struct BubbleContentState {
    BubbleSymbol symbol = BubbleSymbol::translation;
    QString title;
    // A line about the state (working, the error, the replacement); empty when there is none.
    QString message;
    // The translation, shown selectable and scrolling; empty when none is shown.
    QString translation;

    // The language pair the pickers show and change: the page pair for page translation.
    bool showLanguages = false;
    SelectedTranslationKind languageKind = SelectedTranslationKind::input;
    TranslationLanguage source = TranslationLanguage::automatic;
    TranslationLanguage target = TranslationLanguage::english;

    // The application menu acts on this application; no menu without one.
    std::optional<TranslationApplication> application;
    QString ignoreTodayText;
    QString revokeText;

    BubbleButtonState replace;
    BubbleButtonState copy;
    BubbleButtonState retry;
    BubbleButtonState undo;
    // Offered with an error that the settings must fix (no key, no consent, …).
    BubbleButtonState openSettings;
};

BubbleContentState bubbleContentState(const BubbleContentInputs& inputs);

} // namespace qw
