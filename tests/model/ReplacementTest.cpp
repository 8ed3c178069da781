#include "accessibility/adapters/AXVocabulary.h"
#include "tests/model/ModelTestFixture.h"

namespace qw::test {
namespace {

class ReplacementTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        consentToCloud();
        makeModel();
        translateNow(field, QStringLiteral("今天开会"));
        ASSERT_TRUE(model->canReplacePreview());
    }

    void accept()
    {
        model->acceptTranslation();
        ASSERT_TRUE(settleUntil([this] { return !model->isValidatingReplacement(); }));
    }

    void undo()
    {
        model->undoReplacement();
        ASSERT_TRUE(settleUntil([this] { return !model->isValidatingReplacement(); }));
    }

    DesktopElement field = window.textArea(QString()).focus();
};

TEST_F(ReplacementTest, AcceptWritesOnceAndTheRestorePutsTheOriginalBackUntilAnEdit)
{
    model->acceptTranslation();
    model->acceptTranslation(); // a second press while the first is verified (or after it)
    ASSERT_TRUE(settleUntil([this] { return !model->isValidatingReplacement(); }));

    EXPECT_EQ(field.currentValue(), QStringLiteral("EN:今天开会"));
    EXPECT_EQ(desktop.writesTo(field).count(AXAttribute::value), 1) << "written exactly once";
    EXPECT_TRUE(model->status().endsWith(QStringLiteral("替换，未自动发送")));
    EXPECT_TRUE(model->showingUndoOffer());

    inspect(); // the periodic scan sees the written translation
    EXPECT_EQ(model->status(), QStringLiteral("译文已回填；可恢复原文或继续编辑"));
    time.advance(2000ms);
    EXPECT_EQ(transport->sent.size(), 1) << "the written translation is not translated again";

    undo();
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会"));
    EXPECT_FALSE(model->showingUndoOffer());
    inspect();
    EXPECT_EQ(model->status(), QStringLiteral("已恢复原文；继续编辑后将重新翻译"));
    time.advance(2000ms);
    EXPECT_FALSE(model->hasPendingTranslation());
    EXPECT_EQ(transport->sent.size(), 1) << "the restored text is not sent again";
    type(field, QStringLiteral("今天开会吗"));
    EXPECT_EQ(model->status(), QStringLiteral("等待输入停顿…")) << "an edit makes it eligible again";
}

TEST_F(ReplacementTest, AWriteConfirmedAfterTheUserMovedOnIsKeptAndCanBeRestored)
{
    // A settings change or a click elsewhere lands between the write and its read-back.
    const std::shared_ptr<AXAccessGeneration> access = generation;
    desktop.afterNextWrite(AXAttribute::value, [access] { access->advance(); });
    accept();
    EXPECT_EQ(field.currentValue(), QStringLiteral("EN:今天开会"));
    EXPECT_TRUE(model->showingUndoOffer());

    desktop.afterNextWrite(AXAttribute::value, [access] { access->advance(); });
    undo();
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会"));
    EXPECT_EQ(model->status(), QStringLiteral("已恢复原文；编辑后才会重新翻译"));
    EXPECT_FALSE(model->hasUndo());
}

TEST_F(ReplacementTest, AcceptAfterAOneCharacterEditWritesNothing)
{
    // Edited after the preview, before the next scan noticed it.
    field.value(QStringLiteral("今天开会了")).selection(5, 0);
    accept();
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会了"));
    EXPECT_TRUE(desktop.writesTo(field).isEmpty());
    EXPECT_EQ(model->status(), QStringLiteral("输入框或文字已变化，请重新翻译"));
    EXPECT_FALSE(model->showingPreview()) << "the translation belongs to a text no longer there";
    EXPECT_FALSE(model->showingError());
}

TEST_F(ReplacementTest, AFailedWriteIsReportedKeepsThePreviewAndIsNotRetried)
{
    field.valueSettable(false);
    accept();
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会"));
    EXPECT_TRUE(model->showingError());
    EXPECT_EQ(model->status(), model->translationErrorMessage());
    EXPECT_TRUE(model->showingPreview()) << "the user may still copy it";
    EXPECT_FALSE(model->hasUndo());
    const QStringList writes = desktop.writesTo(field);
    time.advance(5000ms);
    QCoreApplication::processEvents();
    EXPECT_EQ(desktop.writesTo(field), writes) << "never tried again by itself";
}

TEST_F(ReplacementTest, RestoreAfterAnEditWritesNothing)
{
    accept();
    const QStringList writes = desktop.writesTo(field);
    field.value(QStringLiteral("EN:今天开会!")).selection(11, 0);
    undo();
    EXPECT_EQ(field.currentValue(), QStringLiteral("EN:今天开会!"));
    EXPECT_EQ(desktop.writesTo(field), writes);
    EXPECT_EQ(model->status(), QStringLiteral("输入内容或焦点已变化，已取消恢复以保护文字"));
    EXPECT_TRUE(model->hasUndo()) << "putting the text back allows another try";

    field.value(QStringLiteral("EN:今天开会")).selection(10, 0);
    undo();
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会"));
}

TEST_F(ReplacementTest, CopyFeedbackLastsOneAndAHalfSecondsAndRestartsOnASecondCopy)
{
    model->copyTranslation();
    EXPECT_EQ(copied, QStringList{QStringLiteral("EN:今天开会")});
    EXPECT_EQ(model->status(), QStringLiteral("译文已复制；未修改输入框"));

    time.advance(1000ms);
    model->copyTranslation();
    time.advance(1000ms);
    EXPECT_TRUE(model->copiedTranslation()) << "the second copy restarted the 1.5 s";
    time.advance(500ms);
    EXPECT_FALSE(model->copiedTranslation());

    clipboardWorks = false;
    model->copyTranslation();
    EXPECT_EQ(model->status(), QStringLiteral("复制失败，请重试"));
    EXPECT_FALSE(model->copiedTranslation());
}

} // namespace
} // namespace qw::test
