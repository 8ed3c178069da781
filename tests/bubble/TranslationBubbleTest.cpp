// The bubble's content over a real model on the substitute desktop: what each control does to
// the field and the model, and what the user reads, in both languages and both palettes.
#include "bubble/TranslationBubble.h"

#include "bubble/BubblePanel.h"
#include "bubble/BubbleResizeGrip.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/BubbleWindow.h"
#include "bubble/TranslationTextView.h"
#include "tests/bubble/Palettes.h"
#include "tests/bubble/ScreenLayouts.h"
#include "tests/bubble/SubstitutePanel.h"
#include "tests/model/ModelTestFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <cmath>

namespace qw::test {
namespace {

class TranslationBubbleTest : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        consentToCloud();
        makeModel();
        content = new TranslationBubble(*model, *panel.titleBar());
        panel.setContent(content);
        panel.resize(400, 300);
        panel.show();
    }

    // The content shows the model once per burst of changes: waits for that showing.
    bool shows(const std::function<bool()>& seen) { return settleUntil(seen); }
    QString title() const { return panel.titleBar()->shownTitle(); }

    void click(QAbstractButton* button)
    {
        ASSERT_TRUE(button->isVisibleTo(&panel) && button->isEnabled()) << button->text().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    BubblePanel panel;
    TranslationBubble* content = nullptr;
    DesktopElement field = window.textArea(QString()).focus();
};

TEST_F(TranslationBubbleTest, ThePanelFollowsTheFieldInDeviceIndependentPixels)
{
    // At 2x an X pixel is half a Qt point: an undivided rectangle would put the panel off screen.
    DesktopElement placed = window.textArea(QString()).bounds(QRectF(200, 400, 600, 48)).focus();
    translateNow(placed, QStringLiteral("今天开会"));
    const BubbleModelState state = BubbleModelState::of(*model, 2.0);
    EXPECT_TRUE(state.wantsPanel);
    EXPECT_EQ(state.previewBounds, QRectF(100, 200, 300, 24));
}

TEST_F(TranslationBubbleTest, EachControlReachesItsModelOperation)
{
    translateNow(field, QStringLiteral("今天开会"));
    ASSERT_TRUE(shows([&] { return content->copyButton()->isVisible(); }));
    EXPECT_EQ(content->translation()->toPlainText(), QStringLiteral("EN:今天开会"));

    click(content->copyButton());
    EXPECT_EQ(copied, QStringList{QStringLiteral("EN:今天开会")});
    EXPECT_TRUE(shows([&] { return content->copyButton()->text() == QStringLiteral("已复制"); }));
    time.advance(1500ms);
    EXPECT_TRUE(shows([&] { return content->copyButton()->text() == QStringLiteral("复制"); }));

    // A new target from the picker translates the same text again at once.
    QTest::keyClick(content->targetPicker(), Qt::Key_Down);
    EXPECT_EQ(model->inputTargetLanguage(), TranslationLanguage::japanese);
    ASSERT_TRUE(settleUntil([&] { return model->hasPendingTranslation(); }));
    time.advance(0ms);
    ASSERT_TRUE(settleUntil([&] { return transport->sent.size() == 2; }));
    EXPECT_TRUE(transport->sent.last().body.contains("日本語"));
    finishTranslation();

    click(content->replaceButton());
    ASSERT_TRUE(settleUntil([&] { return !model->isValidatingReplacement(); }));
    EXPECT_EQ(field.currentValue(), QStringLiteral("EN:今天开会"));
    ASSERT_TRUE(shows([&] { return content->undoButton()->isVisible(); }));
    EXPECT_EQ(title(), QStringLiteral("译文已替换 · 未发送"));
    EXPECT_FALSE(content->replaceButton()->isVisible());

    click(content->undoButton());
    ASSERT_TRUE(settleUntil([&] { return !model->isValidatingReplacement(); }));
    EXPECT_EQ(field.currentValue(), QStringLiteral("今天开会"));

    transport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, {});
    };
    translateNow(field, QStringLiteral("明天开会"));
    ASSERT_TRUE(shows([&] { return content->retryButton()->isVisible(); }));
    EXPECT_EQ(content->message()->text(), model->translationErrorMessage());
    transport->answer = [](const FakeChatTransport::Sent& sent) {
        return TransportReply::response(200,
                                        FakeChatTransport::okBody(QStringLiteral("JA:") + sent.userText()));
    };
    click(content->retryButton());
    ASSERT_TRUE(settleUntil([&] { return model->hasPendingTranslation(); }));
    time.advance(0ms);
    finishTranslation();
    EXPECT_TRUE(
        shows([&] { return content->translation()->toPlainText() == QStringLiteral("JA:明天开会"); }));

    // The application menu: revoking asks the user first; ignoring pauses the application.
    std::optional<TranslationApplication> confirming;
    model->callbacks().onRevokeConfirmationRequested = [&](const TranslationApplication& app) {
        confirming = app;
    };
    ASSERT_EQ(panel.titleBar()->applicationMenuButton()->menu(), content->applicationMenu());
    content->applicationMenu()->actions().at(1)->trigger();
    ASSERT_TRUE(confirming.has_value());
    EXPECT_EQ(confirming->bundleID, AppModel::defaultAllowedApplication);
    content->applicationMenu()->actions().at(0)->trigger();
    EXPECT_TRUE(model->isAppIgnoredToday(AppModel::defaultAllowedApplication));
    EXPECT_TRUE(shows([&] { return !content->copyButton()->isVisible(); }))
        << "the paused app's preview is gone";
}

TEST_F(TranslationBubbleTest, TheContentFollowsTheInterfaceLanguageWhileShown)
{
    translateNow(field, QStringLiteral("今天开会"));
    ASSERT_TRUE(shows([&] { return content->copyButton()->isVisible(); }));
    ASSERT_TRUE(model->setInterfaceLanguage(InterfaceLanguage::english));
    EXPECT_TRUE(shows([&] { return title() == QStringLiteral("Input translation"); }));
    EXPECT_EQ(content->copyButton()->text(), QStringLiteral("Copy"));
    EXPECT_EQ(content->replaceButton()->accessibleName(), QStringLiteral("Replace in field"));
    EXPECT_EQ(content->targetPicker()->currentText(), label(TranslationLanguage::english));
    EXPECT_EQ(content->targetPicker()->accessibleName(), QStringLiteral("Target language"));
    EXPECT_EQ(content->translation()->accessibleName(), QStringLiteral("Translation"));
    EXPECT_EQ(panel.titleBar()->applicationMenuButton()->accessibleName(),
              QStringLiteral("App actions: ignore today or stop translating"));
    // The panel's own controls follow too, for a sighted user and a screen reader alike.
    EXPECT_EQ(panel.accessibleName(), QStringLiteral("Translation panel"));
    EXPECT_EQ(panel.titleBar()->pinButton()->text(), QStringLiteral("Pin here"));
    EXPECT_EQ(panel.titleBar()->closeButton()->accessibleName(), QStringLiteral("Close the translation"));
    EXPECT_EQ(panel.resizeGrip()->accessibleName(), QStringLiteral("Resize the translation panel's width"));
    panel.titleBar()->setPinned(true);
    EXPECT_EQ(panel.titleBar()->pinButton()->text(), QStringLiteral("Follow the field again"));
}

// --- Looks ---

struct Look {
    const char* name;
    InterfaceLanguage language;
    bool dark;
};

class ContentLookTest : public ModelTest, public ::testing::WithParamInterface<Look> {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        LocalizationState::shared().setLanguage(GetParam().language);
        QApplication::setPalette(GetParam().dark ? darkPalette() : QApplication::style()->standardPalette());
        consentToCloud();
        ASSERT_TRUE(settings.setBool(QStringLiteral("pageTranslationEnabled"), true));
        makeModel();
        bubble.panel().setContent(new TranslationBubble(*model, *bubble.panel().titleBar()));
        bubble.refresh({true, QRectF(100, 500, 300, 30)});
        // The narrowest panel the user can make: where text is cut first.
        bubble.controller().resizeStarted();
        bubble.controller().resizeMoved(300);
        bubble.controller().resizeEnded();
    }
    void TearDown() override
    {
        QApplication::setPalette(QApplication::style()->standardPalette());
        ModelTest::TearDown();
    }

    // Checks that nothing is cut off or outside the card, and keeps the picture.
    void look(const char* state)
    {
        SCOPED_TRACE(state);
        BubblePanel& panel = bubble.panel();
        // The showing of the last model change, then the layout and the height report it causes.
        static_cast<TranslationBubble*>(panel.content())->render();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        // The content reports its height once the layout has settled, within the panel's limits.
        ASSERT_TRUE(pumpUntil([&] {
            const double wanted = std::clamp(std::ceil(panel.preferredHeight()), 80.0, 520.0);
            return std::abs(bubble.frame().height() - wanted) <= 1;
        }));
        ASSERT_EQ(bubble.frame().width(), 340);
        EXPECT_EQ(panel.titleBar()->shownTitle(),
                  static_cast<TranslationBubble*>(panel.content())->shown().title)
            << "title cut off";
        const QRect card = panel.cardRect();
        for (QWidget* child : panel.findChildren<QWidget*>()) {
            if (!child->isVisible() || child->isWindow())
                continue;
            SCOPED_TRACE(child->metaObject()->className());
            SCOPED_TRACE(child->accessibleName().toStdString());
            EXPECT_TRUE(card.contains(QRect(child->mapTo(&panel, QPoint(0, 0)), child->size())));
            if (auto* button = qobject_cast<QAbstractButton*>(child)) {
                EXPECT_GE(button->width(), button->sizeHint().width()) << "button text cut off";
            }
            if (auto* picker = qobject_cast<QComboBox*>(child)) {
                EXPECT_GE(picker->width(), picker->sizeHint().width()) << "language cut off";
            }
            if (auto* label = qobject_cast<QLabel*>(child); label && label->wordWrap()) {
                EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "text cut off";
            }
            if (auto* text = qobject_cast<TranslationTextView*>(child)) {
                // All of it visible, or a scroll bar to reach the rest.
                EXPECT_TRUE(text->height() >= text->heightForWidth(text->width()) ||
                            text->verticalScrollBar()->isVisible());
            }
        }
        const QPixmap shot = panel.grab();
        const QString artifacts = QStringLiteral(QW_BUBBLE_ARTIFACTS);
        QDir().mkpath(artifacts);
        EXPECT_TRUE(shot.save(QStringLiteral("%1/content-%2-%3@%4x.png")
                                  .arg(artifacts, QLatin1String(GetParam().name), QLatin1String(state))
                                  .arg(shot.devicePixelRatio())));
    }

    SubstituteScreens screens{single()};
    BubbleWindow bubble{screens, time, [] {
                            return true;
                        }};
};

TEST_P(ContentLookTest, EveryStateFitsAt340Points)
{
    DesktopElement page = window.group().bounds(QRectF(100, 200, 400, 300));
    editor.activate();
    desktop.setPointer(QPointF(120, 215));
    page.selectedTextAttribute(QStringLiteral("The quick brown fox jumps over the lazy dog."));
    model->inspectSelectionAfterMouseUp(std::nullopt);
    ASSERT_TRUE(settleUntil([&] { return transport->sent.size() == 1; }));
    time.advance(transport->latency);
    ASSERT_TRUE(settleUntil([&] { return model->selectionPreview(); }));
    look("page");
    model->discardPreview();

    DesktopElement field = window.textArea(QString()).focus();
    type(field, QStringLiteral("这周我们先完成产品设计"));
    time.advance(std::chrono::milliseconds(model->debounceMilliseconds()));
    ASSERT_TRUE(settleUntil([&] { return model->isTranslating(); }));
    look("working");
    finishTranslation();
    look("ready");
    model->acceptTranslation();
    ASSERT_TRUE(settleUntil([&] { return model->showingUndoOffer() && !model->isValidatingReplacement(); }));
    look("replaced");

    transport->answer = [](const FakeChatTransport::Sent& sent) {
        return TransportReply::response(
            200,
            FakeChatTransport::okBody(QStringLiteral("This week we will first finish the product design, "
                                                     "then review it with the whole team. ")
                                          .repeated(24) +
                                      sent.userText()));
    };
    translateNow(field, QStringLiteral("这周我们先完成产品设计，然后和团队一起评审。"));
    look("long");

    transport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, {});
    };
    translateNow(field, QStringLiteral("明天开会"));
    ASSERT_TRUE(settleUntil([&] { return model->showingError(); }));
    look("error");

    // Only the selected part of the field, translated for replacing exactly that part.
    transport->answer = [](const FakeChatTransport::Sent& sent) {
        return TransportReply::response(200,
                                        FakeChatTransport::okBody(QStringLiteral("EN:") + sent.userText()));
    };
    model->setInputTranslationMode(TranslationMode::selection);
    field.value(QStringLiteral("明天下午三点开会")).selection(2, 4);
    const qsizetype sent = transport->sent.size();
    model->inspectSelectionAfterMouseUp(std::nullopt);
    ASSERT_TRUE(settleUntil([&] { return transport->sent.size() > sent; }));
    time.advance(transport->latency);
    ASSERT_TRUE(settleUntil([&] { return model->selectionPreview() && model->canReplacePreview(); }));
    look("selection");
}

INSTANTIATE_TEST_SUITE_P(Looks, ContentLookTest,
                         ::testing::Values(Look{"zh-light", InterfaceLanguage::chinese, false},
                                           Look{"zh-dark", InterfaceLanguage::chinese, true},
                                           Look{"en-light", InterfaceLanguage::english, false},
                                           Look{"en-dark", InterfaceLanguage::english, true}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace qw::test
