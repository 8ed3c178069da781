#include "bubble/BubbleContentState.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"

namespace qw {

BubbleContentInputs BubbleContentInputs::of(const AppModel& model)
{
    BubbleContentInputs inputs;
    inputs.showingPreview = model.showingPreview();
    inputs.showingUndoOffer = model.showingUndoOffer();
    inputs.showingError = model.showingError();
    inputs.isTranslating = model.isTranslating();
    inputs.translation = model.translation();
    inputs.translationErrorMessage = model.translationErrorMessage();
    inputs.isValidatingReplacement = model.isValidatingReplacement();
    inputs.copiedTranslation = model.copiedTranslation();
    inputs.selectionPreview = model.selectionPreview();
    inputs.selectedTranslationKind = model.selectedTranslationKind();
    inputs.previewApplication = model.previewApplication();
    inputs.appActionHotkeysActive = model.appActionHotkeysActive();
    inputs.inputSource = model.inputSourceLanguage();
    inputs.inputTarget = model.inputTargetLanguage();
    inputs.pageSource = model.pageSourceLanguage();
    inputs.pageTarget = model.pageTargetLanguage();
    inputs.canReplacePreview = model.canReplacePreview();
    inputs.hasBlockingIssue = model.hasBlockingIssue();
    return inputs;
}

namespace {

BubbleSymbol symbolOf(const BubbleContentInputs& in)
{
    if (in.showingUndoOffer)
        return BubbleSymbol::replaced;
    if (in.showingError)
        return BubbleSymbol::failed;
    if (in.isTranslating)
        return BubbleSymbol::working;
    return BubbleSymbol::translation;
}

QString titleOf(const BubbleContentInputs& in)
{
    if (in.showingUndoOffer)
        return L10n::text(L10N_KEY("译文已替换 · 未发送"));
    if (in.showingError)
        return L10n::text(L10N_KEY("翻译或回填未完成"));
    if (in.selectedTranslationKind == SelectedTranslationKind::page)
        return L10n::text(L10N_KEY("页面翻译"));
    return L10n::text(L10N_KEY("输入翻译"));
}

QString messageOf(const BubbleContentInputs& in)
{
    if (in.isTranslating)
        return L10n::text(L10N_KEY("正在生成译文…"));
    if (in.showingError)
        return in.translationErrorMessage;
    if (in.showingUndoOffer)
        return L10n::text(L10N_KEY("已替换输入内容，未发送。"));
    return {};
}

} // namespace

BubbleContentState bubbleContentState(const BubbleContentInputs& in)
{
    BubbleContentState state;
    state.symbol = symbolOf(in);
    state.title = titleOf(in);
    state.message = messageOf(in);

    // A preview kept after a failed write stays beneath the error, to be copied or written again.
    // An older translation that no longer matches the field is not shown with a newer failure,
    // nor while a newer translation runs.
    const bool previewShown =
        in.showingPreview && !in.isTranslating && (!in.showingError || in.canReplacePreview);
    if (previewShown)
        state.translation = in.translation;

    const bool page = in.selectedTranslationKind == SelectedTranslationKind::page;
    // After a replacement the pair no longer describes anything that could be translated again.
    state.showLanguages = !in.showingUndoOffer;
    state.languageKind = page ? SelectedTranslationKind::page : SelectedTranslationKind::input;
    state.source = page ? in.pageSource : in.inputSource;
    state.target = page ? in.pageTarget : in.inputTarget;

    state.application = in.previewApplication;
    state.ignoreTodayText = in.appActionHotkeysActive ? L10n::text(L10N_KEY("今日忽略此应用   ⌃⌥I"))
                                                      : L10n::text(L10N_KEY("今日忽略此应用"));
    state.revokeText = in.appActionHotkeysActive ? L10n::text(L10N_KEY("取消本应用授权…   ⌃⌥⇧I"))
                                                 : L10n::text(L10N_KEY("取消本应用授权…"));

    // A page selection is read, never written back.
    state.replace.visible = previewShown && !page;
    state.replace.enabled = in.canReplacePreview;
    if (in.isValidatingReplacement)
        state.replace.text = L10n::text(L10N_KEY("正在验证输入框…"));
    else if (in.selectedTranslationKind == SelectedTranslationKind::input)
        state.replace.text = L10n::text(L10N_KEY("替换选中内容"));
    else
        state.replace.text = L10n::text(L10N_KEY("替换到输入框"));

    state.copy.visible = previewShown;
    state.copy.enabled = !in.translation.isEmpty();
    state.copy.text = in.copiedTranslation ? L10n::text(L10N_KEY("已复制")) : L10n::text(L10N_KEY("复制"));

    state.retry = {in.showingError && !in.isTranslating, true, L10n::text(L10N_KEY("重试"))};
    // Beside a kept preview there is no room for it, and the write failed for another reason.
    state.openSettings = {in.showingError && in.hasBlockingIssue && !previewShown, true,
                          L10n::text(L10N_KEY("打开设置…"))};

    state.undo.visible = in.showingUndoOffer;
    state.undo.enabled = !in.isValidatingReplacement;
    state.undo.text = in.isValidatingReplacement ? L10n::text(L10N_KEY("正在验证输入框…"))
                                                 : L10n::text(L10N_KEY("撤销替换"));
    return state;
}

} // namespace qw
