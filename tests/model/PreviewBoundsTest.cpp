#include "tests/model/ModelTestFixture.h"

namespace qw::test {
namespace {

constexpr QRectF fieldRect{40, 600, 300, 24};
constexpr QRectF pageRect{100, 200, 400, 300};

enum class Shown { nothing, inputPreview, replaced, selectionTranslatingOverInput, selectionPreview };

struct Row {
    const char* situation;
    Shown shown;
    std::optional<QRectF> expected;
};

// Where the bubble is told to go, for each thing the model can be showing.
class PreviewBoundsTest : public ModelTest, public ::testing::WithParamInterface<Row> {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        consentToCloud();
        ASSERT_TRUE(settings.setBool(QStringLiteral("pageTranslationEnabled"), true));
        makeModel();
        editor.activate();
    }

    void selectOnPage()
    {
        desktop.setPointer(QPointF(120, 215));
        page.selectedTextAttribute(QStringLiteral("Good morning"));
        model->inspectSelectionAfterMouseUp(std::nullopt);
        ASSERT_TRUE(settleUntil([this] { return !model->isInspectingSelection(); }));
    }

    void finishSelection()
    {
        ASSERT_TRUE(settleUntil([this] { return !transport->sent.isEmpty(); }));
        time.advance(transport->latency);
        ASSERT_TRUE(settleUntil([this] { return !model->hasSelectionTranslation(); }));
    }

    void acceptTheTranslation()
    {
        model->acceptTranslation();
        ASSERT_TRUE(settleUntil([this] { return !model->isValidatingReplacement(); }));
        ASSERT_TRUE(model->showingUndoOffer());
        ASSERT_FALSE(model->snapshot().has_value()) << "the undo offer is placed by the record alone";
    }

    DesktopElement field = window.textArea(QString()).bounds(fieldRect).focus();
    DesktopElement page = window.group().bounds(pageRect);
};

TEST_P(PreviewBoundsTest, FollowsWhatTheModelShows)
{
    const Shown shown = GetParam().shown;
    if (shown != Shown::nothing && shown != Shown::selectionPreview)
        translateNow(field, QStringLiteral("今天开会"));
    if (shown == Shown::replaced)
        acceptTheTranslation();
    if (shown == Shown::selectionTranslatingOverInput || shown == Shown::selectionPreview)
        selectOnPage();
    if (shown == Shown::selectionPreview)
        finishSelection();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(model->previewBounds(), GetParam().expected) << GetParam().situation;
}

INSTANTIATE_TEST_SUITE_P(
    Model, PreviewBoundsTest,
    ::testing::Values(Row{"nothing shown yet", Shown::nothing, std::nullopt},
                      Row{"an input translation follows its field", Shown::inputPreview, fieldRect},
                      Row{"the undo offer follows the replaced field", Shown::replaced, fieldRect},
                      Row{"a selection being translated wins over the pinned input",
                          Shown::selectionTranslatingOverInput, pageRect},
                      Row{"a selection preview follows the selection", Shown::selectionPreview, pageRect}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::to_string(info.index); });

} // namespace
} // namespace qw::test
