#include "accessibility/adapters/AXVocabulary.h"
#include "tests/model/ModelTestFixture.h"

#include <future>

namespace qw::test {
namespace {

// Selections read from the substitute desktop through the real worker, translated by the fake
// transport on virtual time.
class SelectionFlowTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        consentToCloud();
        ASSERT_TRUE(settings.setBool(QStringLiteral("pageTranslationEnabled"), true));
        makeModel();
        QObject::connect(model.get(), &AppModel::changed, [this] {
            if (model->showingPreview() &&
                (shownTranslations.isEmpty() || shownTranslations.last() != model->translation()))
                shownTranslations << model->translation();
        });
        editor.activate();
        desktop.setPointer(QPointF(120, 215));
    }

    // The selection monitor reports a finished selection; waits for the inspection to end.
    void mouseUp(std::optional<AccessibilityElement> preferred = std::nullopt)
    {
        model->inspectSelectionAfterMouseUp(std::move(preferred));
        ASSERT_TRUE(settleUntil([this] { return !model->isInspectingSelection(); }));
    }

    // From a started selection translation to its preview (or its end without one).
    void finishSelection(qsizetype sentBefore)
    {
        ASSERT_TRUE(settleUntil(
            [&] { return transport->sent.size() > sentBefore || !model->hasSelectionTranslation(); }));
        time.advance(transport->latency);
        ASSERT_TRUE(settleUntil([this] { return !model->hasSelectionTranslation(); }));
    }

    void selectAndTranslate()
    {
        const qsizetype before = transport->sent.size();
        mouseUp();
        finishSelection(before);
    }

    void answer(const QString& source, const QString& translation)
    {
        transport->answer = [source, translation](const FakeChatTransport::Sent& sent) {
            const QString text =
                sent.userText() == source ? translation : QStringLiteral("EN:") + sent.userText();
            return TransportReply::response(200, FakeChatTransport::okBody(text));
        };
    }

    DesktopElement page = window.group().bounds(QRectF(100, 200, 400, 300));
    QStringList shownTranslations;
};

TEST_F(SelectionFlowTest, APageSelectionIsTranslatedWithThePagePairAndCanOnlyBeCopied)
{
    model->setPageTargetLanguage(TranslationLanguage::japanese);
    page.selectedTextAttribute(QStringLiteral("Good morning"));
    mouseUp();
    finishSelection(0);

    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_TRUE(transport->sent.first().body.contains("日本語"));
    EXPECT_EQ(model->translation(), QStringLiteral("EN:Good morning"));
    EXPECT_EQ(model->status(), QStringLiteral("页面选区译文就绪；可复制"));
    EXPECT_EQ(model->previewApplication(),
              (TranslationApplication{AppModel::defaultAllowedApplication, QStringLiteral("Text Editor")}));
    EXPECT_FALSE(model->canReplacePreview());
    model->copyTranslation();
    EXPECT_EQ(copied, QStringList{QStringLiteral("EN:Good morning")});

    // The same selection again is already shown: not translated again.
    mouseUp();
    time.advance(transport->latency);
    EXPECT_EQ(transport->sent.size(), 1);
    EXPECT_TRUE(model->showingPreview());

    // Focus events never disturb a page preview; turning page translation off discards it.
    inspect();
    EXPECT_TRUE(model->selectionPreview());
    model->setPageTranslationEnabled(false);
    EXPECT_FALSE(model->selectionPreview());
    EXPECT_FALSE(model->showingPreview());
}

TEST_F(SelectionFlowTest, SelectionsThatAreNotForThisFlowAreIgnored)
{
    page.selectedTextAttribute(QStringLiteral("Good morning"));
    model->setPageTranslationEnabled(false);
    mouseUp();
    EXPECT_FALSE(model->selectionTranslating());

    model->setPageTranslationEnabled(true);
    model->setPageTargetLanguage(TranslationLanguage::english);
    mouseUp();
    EXPECT_FALSE(model->selectionTranslating());
    EXPECT_EQ(model->status(), QStringLiteral("请为页面翻译选择不同的源语言和目标语言"));

    // In the automatic mode a selection inside a field belongs to the input flow.
    model->setPageTargetLanguage(TranslationLanguage::chinese);
    window.textField(QStringLiteral("Hello world!")).selection(6, 5).focus();
    mouseUp();
    EXPECT_FALSE(model->selectionTranslating());

    // Nothing of an application that is not allowed is read at all.
    DesktopApp other = desktop.addApplication(QStringLiteral("org.example.Chat"), QStringLiteral("Chat"));
    other.window()
        .group()
        .bounds(QRectF(100, 200, 400, 300))
        .selectedTextAttribute(QStringLiteral("Secret plans"));
    other.activate();
    const int reads = desktop.attributeReads();
    mouseUp();
    EXPECT_EQ(desktop.attributeReads(), reads);

    time.advance(5000ms);
    QCoreApplication::processEvents();
    EXPECT_TRUE(transport->sent.isEmpty());
    EXPECT_FALSE(model->showingPreview());
}

// What moves a selection on while it is being translated; the first result must never show.
enum class Disturbance { newSelectionReported, selectionChangedUnreported, otherApplicationInFront };

class StaleSelectionTest : public SelectionFlowTest, public ::testing::WithParamInterface<Disturbance> {};

TEST_P(StaleSelectionTest, TheFirstResultIsNeverShown)
{
    page.selectedTextAttribute(QStringLiteral("first words"));
    mouseUp();
    ASSERT_TRUE(settleUntil([this] { return transport->sent.size() == 1; }));
    switch (GetParam()) {
    case Disturbance::newSelectionReported:
        page.selectedTextAttribute(QStringLiteral("second words"));
        mouseUp();
        ASSERT_TRUE(settleUntil([this] { return transport->sent.size() == 2; }));
        break;
    case Disturbance::selectionChangedUnreported:
        page.selectedTextAttribute(QStringLiteral("other words"));
        break;
    case Disturbance::otherApplicationInFront:
        desktop.addApplication(QStringLiteral("org.example.Chat"), QStringLiteral("Chat")).activate();
        break;
    }
    time.advance(transport->latency);
    ASSERT_TRUE(settleUntil([this] { return !model->hasSelectionTranslation(); }));
    time.advance(5000ms);
    QCoreApplication::processEvents();

    const QStringList expected = GetParam() == Disturbance::newSelectionReported
                                     ? QStringList{QStringLiteral("EN:second words")}
                                     : QStringList{};
    EXPECT_EQ(shownTranslations, expected);
    EXPECT_FALSE(model->selectionTranslating()) << "the translating state ended with the job";
}

std::string disturbanceName(const ::testing::TestParamInfo<Disturbance>& info)
{
    const char* const names[] = {"NewSelectionReported", "SelectionChangedUnreported",
                                 "OtherApplicationInFront"};
    return names[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Selection, StaleSelectionTest,
                         ::testing::Values(Disturbance::newSelectionReported,
                                           Disturbance::selectionChangedUnreported,
                                           Disturbance::otherApplicationInFront),
                         disturbanceName);

// Three reports while the worker is still busy with the first read: one inspection at a time,
// and only the last report's selection is translated.
TEST_F(SelectionFlowTest, ReportsDuringARunningInspectionLeadToOneMoreWithTheLastElement)
{
    DesktopElement alpha = window.staticText(QStringLiteral("alpha text")).selection(0, 10);
    DesktopElement beta = window.staticText(QStringLiteral("beta text")).selection(0, 9);
    // The worker waits on this read until the test lets it go, so the first inspection's read
    // surely runs while the later reports arrive.
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> opened = gate->get_future().share();
    desktop.onFocusRead([opened] { opened.wait(); });
    auto held = start(worker.focus(editor.running()));

    model->inspectSelectionAfterMouseUp(alpha.handle());
    QCoreApplication::processEvents(); // the first inspection's read is now in flight
    model->inspectSelectionAfterMouseUp(std::nullopt);
    model->inspectSelectionAfterMouseUp(beta.handle());
    gate->set_value();
    ASSERT_TRUE(settleUntil([this] { return !model->isInspectingSelection(); }));
    finishSelection(0);
    time.advance(5000ms);
    QCoreApplication::processEvents();

    ASSERT_EQ(transport->sent.size(), 1) << "the selection a later report replaced is never sent";
    EXPECT_EQ(transport->sent.first().userText(), QStringLiteral("beta text"));
    EXPECT_EQ(model->original(), QStringLiteral("beta text"));
}

// A failed translation shows the error; a retry, or a language chosen in the bubble, reads
// the selection again. A selection gone by then brings the preview back with the reason.
TEST_F(SelectionFlowTest, RetryAndALanguageChangeFromTheBubbleReadTheSelectionAgain)
{
    transport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, QByteArrayLiteral("{}"));
    };
    page.selectedTextAttribute(QStringLiteral("Good morning"));
    selectAndTranslate();
    EXPECT_TRUE(model->showingError());
    EXPECT_EQ(model->status(), model->translationErrorMessage());

    answer(QStringLiteral("Good morning"), QStringLiteral("早上好"));
    model->retryTranslation();
    ASSERT_TRUE(settleUntil([this] { return !model->isInspectingSelection(); }));
    finishSelection(1);
    EXPECT_EQ(model->translation(), QStringLiteral("早上好"));

    page.selectedTextAttribute(QStringLiteral("Good evening"));
    model->updatePreviewLanguage(std::nullopt, TranslationLanguage::korean);
    ASSERT_TRUE(settleUntil([this] { return model->showingError(); }));
    EXPECT_EQ(model->translationErrorMessage(), QStringLiteral("输入框或文字已变化，请重新翻译"));
    EXPECT_EQ(model->original(), QStringLiteral("Good morning")) << "the preview comes back with the reason";
    model->retryTranslation();
    ASSERT_TRUE(settleUntil([this] { return !model->isInspectingSelection(); }));
    finishSelection(2);
    EXPECT_EQ(model->original(), QStringLiteral("Good evening"));
    EXPECT_TRUE(transport->sent.last().body.contains("한국어"));
    EXPECT_EQ(model->pageTargetLanguage(), TranslationLanguage::korean);
}

class InputSelectionTest : public SelectionFlowTest {
protected:
    void SetUp() override
    {
        SelectionFlowTest::SetUp();
        model->setInputTranslationMode(TranslationMode::selection);
        answer(QStringLiteral("world"), QStringLiteral("世界"));
        selectAndTranslate();
        ASSERT_TRUE(model->canReplacePreview());
    }

    void accept()
    {
        model->acceptTranslation();
        ASSERT_TRUE(settleUntil([this] { return !model->isValidatingReplacement(); }));
    }

    DesktopElement field = window.textField(QStringLiteral("Hello world!")).selection(6, 5).focus();
};

// The write is confirmed even though a mouse press elsewhere lands between the write and its
// read-back: it is kept and can be restored.
TEST_F(InputSelectionTest, ReplacesExactlyTheSelectedRangeAndRestoresIt)
{
    EXPECT_EQ(model->status(), QStringLiteral("输入选区译文就绪；可替换或复制"));
    const std::shared_ptr<AXAccessGeneration> access = generation;
    desktop.afterNextWrite(AXAttribute::selectedText, [access] { access->advance(); });
    accept();

    EXPECT_EQ(field.currentValue(), QStringLiteral("Hello 世界!"));
    EXPECT_TRUE(model->status().endsWith(QStringLiteral("替换所选文字；未自动发送")));
    EXPECT_TRUE(model->showingUndoOffer());

    model->undoReplacement();
    ASSERT_TRUE(settleUntil([this] { return !model->isValidatingReplacement(); }));
    EXPECT_EQ(field.currentValue(), QStringLiteral("Hello world!"));
    EXPECT_EQ(model->status(), QStringLiteral("已恢复选区文字；再次编辑后可继续翻译"));
    EXPECT_FALSE(model->hasUndo());
}

TEST_F(InputSelectionTest, NothingIsWrittenWhenTheCaretOrTheValueMoved)
{
    field.selection(3, 0); // the caret moved after the preview appeared
    accept();
    EXPECT_EQ(field.currentValue(), QStringLiteral("Hello world!"));
    EXPECT_TRUE(desktop.writesTo(field).isEmpty());
    EXPECT_EQ(model->status(), QStringLiteral("输入框或选区已变化，已取消替换"));

    // Same range, but the text around it changed.
    field.value(QStringLiteral("Hello world?")).selection(6, 5);
    selectAndTranslate();
    field.value(QStringLiteral("Hello world.")).selection(6, 5);
    accept();
    EXPECT_TRUE(desktop.writesTo(field).isEmpty());
}

// A mouse press elsewhere leaves a preview read-only, and discards a selection being
// translated.
TEST_F(InputSelectionTest, AMousePressElsewhereLeavesAReadOnlyPreviewAndDiscardsATranslation)
{
    model->invalidateSelectionWriteCapability();
    EXPECT_TRUE(model->showingPreview()) << "still readable";
    EXPECT_FALSE(model->canReplacePreview());

    // Selecting the same text again makes it writable again (one more translation, from cache).
    mouseUp();
    ASSERT_TRUE(settleUntil([this] { return !model->hasSelectionTranslation(); }));
    EXPECT_TRUE(model->canReplacePreview());

    field.selection(0, 5);
    mouseUp();
    ASSERT_TRUE(model->selectionTranslating());
    model->invalidateSelectionWriteCapability();
    EXPECT_FALSE(model->selectionTranslating());
    time.advance(5000ms);
    QCoreApplication::processEvents();
    EXPECT_FALSE(model->showingPreview());
    EXPECT_EQ(shownTranslations, QStringList{QStringLiteral("世界")}) << "only the first preview ever showed";
}

constexpr QRectF fieldRect{40, 600, 300, 24};
constexpr QRectF pageRect{100, 200, 400, 300};

enum class Shown { replaced, selectionTranslatingOverInput, selectionPreview };

struct BoundsRow {
    const char* situation;
    Shown shown;
    std::optional<QRectF> expected;
};

// Where the bubble is told to go, for each thing the model can be showing.
class PreviewBoundsTest : public SelectionFlowTest, public ::testing::WithParamInterface<BoundsRow> {};

TEST_P(PreviewBoundsTest, FollowsWhatTheModelShows)
{
    const Shown shown = GetParam().shown;
    DesktopElement field = window.textArea(QString()).bounds(fieldRect).focus();
    if (shown != Shown::selectionPreview)
        translateNow(field, QStringLiteral("今天开会"));
    if (shown == Shown::replaced) {
        model->acceptTranslation();
        ASSERT_TRUE(settleUntil([this] { return !model->isValidatingReplacement(); }));
        ASSERT_TRUE(model->showingUndoOffer());
        ASSERT_FALSE(model->snapshot().has_value()) << "the undo offer is placed by the record alone";
    }
    const qsizetype sent = transport->sent.size();
    if (shown == Shown::selectionTranslatingOverInput || shown == Shown::selectionPreview) {
        page.selectedTextAttribute(QStringLiteral("Good morning"));
        mouseUp();
    }
    if (shown == Shown::selectionPreview)
        finishSelection(sent);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(model->previewBounds(), GetParam().expected) << GetParam().situation;
}

INSTANTIATE_TEST_SUITE_P(
    Model, PreviewBoundsTest,
    ::testing::Values(BoundsRow{"the undo offer follows the replaced field", Shown::replaced, fieldRect},
                      BoundsRow{"a selection being translated wins over the pinned input",
                                Shown::selectionTranslatingOverInput, pageRect},
                      BoundsRow{"a selection preview follows the selection", Shown::selectionPreview,
                                pageRect}),
    [](const ::testing::TestParamInfo<BoundsRow>& info) { return std::to_string(info.index); });

} // namespace
} // namespace qw::test
