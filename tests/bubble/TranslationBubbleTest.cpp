// The bubble's content over a real model on the substitute desktop, in the panel as the user
// sees it: every state at the narrowest width in both languages and palettes, with and without a
// compositor; what each control does to the field and the model; the texts following the
// interface language while shown. Copy and the language pickers are clicked on the real desktop
// (the desktop test).
#include "bubble/TranslationBubble.h"

#include "bubble/BubblePanel.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/BubbleWindow.h"
#include "bubble/TranslationTextView.h"
#include "l10n/L10n.h"
#include "tests/bubble/SubstitutePanel.h"
#include "tests/model/ModelTestFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
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

using namespace Qt::StringLiterals;

struct Look {
    const char* name;
    InterfaceLanguage language;
    bool dark;
    bool compositor;
};

// Each state is also written as a PNG for a person to open (build/tests/bubble/artifacts); run
// again with QT_SCALE_FACTOR=2 for the 2x pictures.
class TranslationBubbleTest : public ModelTest, public ::testing::WithParamInterface<Look> {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        // Started in the other language: the content must follow the switch while shown.
        LocalizationState::shared().setLanguage(GetParam().language == InterfaceLanguage::english
                                                    ? InterfaceLanguage::chinese
                                                    : InterfaceLanguage::english);
        // A dark palette as a dark desktop theme gives it: Qt derives light text on a black base.
        QApplication::setPalette(GetParam().dark
                                     ? QPalette(QColor(0x3a, 0x3a, 0x3e), QColor(0x2d, 0x2d, 0x30))
                                     : QApplication::style()->standardPalette());
        consentToCloud();
        makeModel();
        content = new TranslationBubble(*model, *bubble.panel().titleBar());
        bubble.panel().setContent(content);
    }
    void TearDown() override
    {
        QApplication::setPalette(QApplication::style()->standardPalette());
        ModelTest::TearDown();
    }

    void click(QAbstractButton* button)
    {
        // The content shows the model once per burst of changes: waits for that showing.
        ASSERT_TRUE(settleUntil([&] { return button->isVisibleTo(&bubble.panel()) && button->isEnabled(); }))
            << button->text().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Checks that nothing is cut off or outside the card, and keeps the picture.
    void look(const char* state)
    {
        SCOPED_TRACE(state);
        BubblePanel& panel = bubble.panel();
        // The showing of the last model change, then the layout and the height report it causes.
        content->render();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        // The content reports its height once the layout has settled, within the panel's limits.
        ASSERT_TRUE(pumpUntil([&] {
            const double wanted = std::clamp(std::ceil(panel.preferredHeight()), 80.0, 520.0);
            return std::abs(bubble.frame().height() - wanted) <= 1;
        }));
        ASSERT_EQ(bubble.frame().width(), 340);
        EXPECT_EQ(panel.titleBar()->shownTitle(), content->shown().title) << "title cut off";
        const QRect card = panel.cardRect();
        for (QWidget* child : panel.findChildren<QWidget*>()) {
            if (!child->isVisible() || child->isWindow())
                continue;
            SCOPED_TRACE(child->metaObject()->className());
            SCOPED_TRACE(child->accessibleName().toStdString());
            EXPECT_TRUE(card.contains(QRect(child->mapTo(&panel, QPoint(0, 0)), child->size())));
            if (qobject_cast<QAbstractButton*>(child) || qobject_cast<QComboBox*>(child)) {
                EXPECT_GE(child->width(), child->sizeHint().width()) << "button or language cut off";
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
        // With a compositor the window's corner shows what lies beneath (a rounded card on a
        // shadow); without one nothing may show through, so a border frames an opaque rectangle.
        EXPECT_EQ(shot.toImage().pixelColor(0, 0).alpha(), GetParam().compositor ? 0 : 255);
        const QString artifacts = QStringLiteral(QW_BUBBLE_ARTIFACTS);
        QDir().mkpath(artifacts);
        EXPECT_TRUE(shot.save(
            u"%1/content-%2-%3@%4x.png"_s.arg(artifacts, QLatin1String(GetParam().name), QLatin1String(state))
                .arg(shot.devicePixelRatio())));
    }

    SubstituteScreens screens{single()};
    BubbleWindow bubble{screens, time, [compositor = GetParam().compositor] {
                            return compositor;
                        }};
    TranslationBubble* content = nullptr;
};

TEST_P(TranslationBubbleTest, EveryStateFitsAt340PointsAndEachControlReachesTheModel)
{
    DesktopElement field = window.textArea(QString()).bounds(QRectF(200, 400, 600, 48)).focus();
    type(field, u"这周我们先完成产品设计"_s);
    time.advance(std::chrono::milliseconds(model->debounceMilliseconds()));
    ASSERT_TRUE(settleUntil([&] { return model->isTranslating(); }));
    ASSERT_TRUE(model->setInterfaceLanguage(GetParam().language));
    QCoreApplication::processEvents();
    content->render();
    bubble.refresh({true, QRectF(100, 500, 300, 30)});
    // The narrowest panel the user can make: where text is cut first.
    bubble.controller().resizeStarted();
    bubble.controller().resizeMoved(300);
    bubble.controller().resizeEnded();
    look("working");
    // Right next to the field at its content's height (the content is measured before the first show).
    EXPECT_EQ(bubble.frame().bottom() + 10, 500);
    finishTranslation();
    look("ready");
    // At 2x an X pixel is half a Qt point: an undivided rectangle would put the panel off screen.
    EXPECT_EQ(BubbleModelState::of(*model, 2.0).previewBounds, QRectF(100, 200, 300, 24));
    // The content and the panel's own controls, for a sighted user and a screen reader alike.
    BubbleTitleBar& bar = *bubble.panel().titleBar();
    EXPECT_EQ(
        (QStringList{bar.shownTitle(), content->copyButton()->text(), content->targetPicker()->currentText(),
                     content->translation()->accessibleName(), bubble.panel().accessibleName(),
                     bar.pinButton()->text()}),
        (QStringList{L10n::text(u"输入翻译"_s), L10n::text(u"复制"_s), label(TranslationLanguage::english),
                     L10n::text(u"译文"_s), L10n::text(u"翻译提示"_s), L10n::text(u"固定位置"_s)}));

    click(content->replaceButton());
    ASSERT_TRUE(settleUntil([&] { return model->showingUndoOffer() && !model->isValidatingReplacement(); }));
    EXPECT_EQ(field.currentValue(), u"EN:这周我们先完成产品设计"_s);
    look("replaced");
    click(content->undoButton());
    ASSERT_TRUE(settleUntil([&] { return !model->isValidatingReplacement(); }));
    EXPECT_EQ(field.currentValue(), u"这周我们先完成产品设计"_s);

    transport->answer = [](const FakeChatTransport::Sent& sent) {
        return TransportReply::response(
            200,
            FakeChatTransport::okBody(QStringLiteral("This week we will first finish the product design, "
                                                     "then review it with the whole team. ")
                                          .repeated(24) +
                                      sent.userText()));
    };
    translateNow(field, u"这周我们先完成产品设计，然后和团队一起评审。"_s);
    look("long");

    transport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, {});
    };
    translateNow(field, u"明天开会"_s);
    ASSERT_TRUE(settleUntil([&] { return model->showingError(); }));
    look("error");
    EXPECT_EQ(content->message()->text(), model->translationErrorMessage());
    transport->answer = [](const FakeChatTransport::Sent& sent) {
        return TransportReply::response(200, FakeChatTransport::okBody(u"JA:"_s + sent.userText()));
    };
    click(content->retryButton());
    ASSERT_TRUE(settleUntil([&] { return model->hasPendingTranslation(); }));
    time.advance(0ms);
    finishTranslation();
    EXPECT_TRUE(settleUntil([&] { return content->translation()->toPlainText() == u"JA:明天开会"_s; }));

    // The application menu: ignoring pauses the application (revoking asks first: the model's tests).
    ASSERT_EQ(bar.applicationMenuButton()->menu(), content->applicationMenu());
    content->applicationMenu()->actions().at(0)->trigger();
    EXPECT_TRUE(model->isAppIgnoredToday(AppModel::defaultAllowedApplication));
    EXPECT_TRUE(settleUntil([&] { return !content->copyButton()->isVisible(); }))
        << "the paused app's preview is gone";
}

INSTANTIATE_TEST_SUITE_P(Looks, TranslationBubbleTest,
                         ::testing::Values(Look{"zh_light_shadowed", InterfaceLanguage::chinese, false, true},
                                           Look{"en_dark_bordered", InterfaceLanguage::english, true, false}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace qw::test
