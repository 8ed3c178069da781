#include "accessibility/AXEngine.h"
#include "tests/model/ModelTestFixture.h"

#include <atomic>
#include <future>

namespace qw::test {
namespace {

class InputFlowTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        consentToCloud();
        makeModel();
    }

    DesktopElement field = window.textArea(QString()).focus();
};

TEST_F(InputFlowTest, ContinuousTypingTranslatesOnce800MillisecondsAfterTheLastChange)
{
    type(field, QStringLiteral("今"));
    time.advance(300ms);
    type(field, QStringLiteral("今天"));
    time.advance(300ms);
    type(field, QStringLiteral("今天开会"));
    EXPECT_EQ(model->status(), QStringLiteral("等待输入停顿…"));
    const quint64 revision = model->revision();
    time.advance(500ms);
    inspect(); // the periodic scan: an identical notification is not a keystroke
    EXPECT_EQ(model->revision(), revision);

    time.advance(299ms);
    EXPECT_FALSE(model->isTranslating());
    EXPECT_TRUE(transport->sent.isEmpty()) << "the earlier waits were cancelled by each keystroke";

    time.advance(1ms);
    finishTranslation();
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_EQ(transport->sent.first().userText(), QStringLiteral("今天开会"));
    EXPECT_EQ(model->translation(), QStringLiteral("EN:今天开会"));
    EXPECT_EQ(model->previewApplication(),
              (TranslationApplication{AppModel::defaultAllowedApplication, QStringLiteral("Text Editor")}));
}

// Translating now skips the pause and a value a language change suspended; a language chosen
// in the bubble translates the same text again at once, or says why not.
TEST_F(InputFlowTest, TranslateNowAndALanguageFromTheBubbleTranslateTheSameTextAgain)
{
    type(field, QStringLiteral("今天开会"));
    model->setInputTargetLanguage(TranslationLanguage::japanese);
    inspect();
    time.advance(2000ms);
    EXPECT_TRUE(transport->sent.isEmpty());
    EXPECT_FALSE(model->hasPendingTranslation());

    inspect(true);
    EXPECT_EQ(model->status(), QStringLiteral("快捷键：立即翻译…"));
    time.advance(0ms);
    finishTranslation();
    ASSERT_EQ(transport->sent.size(), 1);
    EXPECT_TRUE(transport->sent.first().body.contains("日本語"));

    model->updatePreviewLanguage(std::nullopt, TranslationLanguage::korean);
    ASSERT_TRUE(settleUntil([this] { return model->hasPendingTranslation() || model->showingError(); }));
    EXPECT_EQ(settings.string(QStringLiteral("inputTargetLanguage")), QStringLiteral("한국어"));
    time.advance(0ms);
    finishTranslation();
    ASSERT_EQ(transport->sent.size(), 2);
    EXPECT_TRUE(transport->sent.last().body.contains("한국어"));

    model->updatePreviewLanguage(TranslationLanguage::korean, std::nullopt);
    ASSERT_TRUE(settleUntil([this] { return model->showingError(); }));
    EXPECT_EQ(model->translationErrorMessage(), QStringLiteral("源语言与目标语言必须不同"));
    EXPECT_EQ(model->original(), QStringLiteral("今天开会"))
        << "the preview is put back to explain the refusal";
}

TEST_F(InputFlowTest, TypingDuringTheTranslationDropsTheResult)
{
    type(field, QStringLiteral("今天开会"));
    time.advance(800ms);
    ASSERT_TRUE(settleUntil([this] { return transport->sent.size() == 1; }));

    // The user types while the provider answers; the job's second check sees the new text.
    field.value(QStringLiteral("今天开会吗")).selection(5, 0);
    time.advance(transport->latency);
    ASSERT_TRUE(settleUntil([this] { return !model->isTranslating(); }));
    EXPECT_FALSE(model->showingPreview());
    EXPECT_EQ(model->status(), QStringLiteral("输入框状态已变化，重新聚焦后可继续翻译"));

    inspect();
    EXPECT_EQ(model->status(), QStringLiteral("等待输入停顿…"))
        << "the next inspection schedules the new text";
    time.advance(800ms);
    finishTranslation();
    EXPECT_EQ(model->translation(), QStringLiteral("EN:今天开会吗"));
}

TEST_F(InputFlowTest, RequestsDuringAnInspectionLeadToExactlyOneForcedInspection)
{
    type(field, QStringLiteral("今天开会"));
    const quint64 revision = model->revision();

    // The focus read waits on the worker until the test lets it go, so the requests below
    // surely arrive while it runs.
    auto gate = std::make_shared<std::promise<void>>();
    std::shared_future<void> opened = gate->get_future().share();
    auto reads = std::make_shared<std::atomic<int>>(0);
    desktop.onFocusRead([opened, reads] {
        opened.wait();
        ++*reads;
    });

    model->inspectFocus(false);
    ASSERT_TRUE(model->isInspecting());
    model->inspectFocus(true);
    model->inspectFocus(false);
    gate->set_value();
    ASSERT_TRUE(settleUntil([&] { return !model->isInspecting() && reads->load() >= 2; }));
    QCoreApplication::processEvents();

    EXPECT_EQ(reads->load(), 2) << "the running one and one more";
    // Only a forced inspection takes the unchanged field as a new state: one step, not two.
    EXPECT_EQ(model->revision(), revision + 1);
    EXPECT_EQ(model->status(), QStringLiteral("快捷键：立即翻译…"));
}

TEST_F(InputFlowTest, AFocusChangeKeepsThePreviewVisibleButNotReplaceable)
{
    translateNow(field, QStringLiteral("今天开会"));
    ASSERT_TRUE(model->canReplacePreview());
    std::optional<FocusedField> observed;
    model->callbacks().onFieldObserved = [&](const std::optional<FocusedField>& f) {
        observed = f;
    };

    DesktopElement other = window.textField(QStringLiteral("另一个输入框")).focus();
    inspect();
    EXPECT_TRUE(model->showingPreview());
    EXPECT_FALSE(model->canReplacePreview());
    ASSERT_TRUE(observed.has_value());
    EXPECT_EQ(observed->element, other.handle());

    model->acceptTranslation();
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会")) << "nothing is written";
}

// Selected, empty or wordless text is not sent, and says why; unallowed and untrusted
// applications are not read at all.
TEST_F(InputFlowTest, OnlyEligibleTextOfAllowedApplicationsIsReadAndScheduled)
{
    field.value(QStringLiteral("今天下午开会")).selection(2, 3);
    inspect();
    EXPECT_EQ(model->status(), QStringLiteral("已选中文字：为避免干扰编辑，暂不翻译"));
    type(field, QString());
    EXPECT_EQ(model->status(), QStringLiteral("输入文字开始翻译"));
    type(field, QStringLiteral("2026-03-14, 09:30!"));
    EXPECT_EQ(model->status(), QStringLiteral("当前内容无需翻译或受到保护"));
    time.advance(2000ms);
    EXPECT_TRUE(transport->sent.isEmpty());

    DesktopApp stranger = desktop.addApplication(QStringLiteral("org.example.Chat"), QStringLiteral("Chat"));
    stranger.window().textField(QStringLiteral("秘密")).focus();
    const int reads = desktop.attributeReads();
    inspect();
    EXPECT_EQ(model->currentRole(), QStringLiteral("未授权应用"));
    EXPECT_EQ(desktop.attributeReads(), reads);

    field.focus();
    desktop.setTrusted(false);
    inspect();
    EXPECT_FALSE(model->permissionGranted());
    EXPECT_EQ(desktop.attributeReads(), reads);
}

// A failed translation shows its message. An unreadable key (true) pauses its provider for
// background work and is not a service failure; a failing service (false) leaves the key alone.
class TranslationFailureTest : public InputFlowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TranslationFailureTest, ShowsTheMessageAndOnlyAKeyProblemPausesTheProvider)
{
    const bool keyUnreadable = GetParam();
    if (keyUnreadable)
        keyResult = CredentialLoadResult::failure({CredentialLoadFailure::Kind::accessError, -25293});
    else
        transport->answer = [](const FakeChatTransport::Sent&) {
            return TransportReply::response(500, QByteArray());
        };
    translateNow(field, QStringLiteral("今天开会"));
    EXPECT_TRUE(model->showingError());
    EXPECT_EQ(model->status(), model->translationErrorMessage());
    EXPECT_EQ(model->serviceFailure(), !keyUnreadable);
    EXPECT_EQ(model->pausedCredentialProviders().count(TranslationProvider::openAI), keyUnreadable ? 1u : 0u);
    if (!keyUnreadable) {
        EXPECT_EQ(model->credentialStates().count(TranslationProvider::openAI), 0u);
        return;
    }
    EXPECT_EQ(model->credentialStates().at(TranslationProvider::openAI), CredentialState::failed);

    type(field, QStringLiteral("明天开会"));
    time.advance(2000ms);
    EXPECT_FALSE(model->hasPendingTranslation()) << "the paused provider is not asked in the background";
    EXPECT_TRUE(transport->sent.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Failure, TranslationFailureTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "UnreadableKey" : "ServiceError";
                         });

} // namespace
} // namespace qw::test
