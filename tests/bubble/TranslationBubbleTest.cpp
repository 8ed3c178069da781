// The bubble's content over a real model on the substitute desktop: what each control does to
// the field and the model, and what the user reads, in both languages and both palettes.
#include "bubble/TranslationBubble.h"

#include "bubble/BubblePanel.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/BubbleWindow.h"
#include "bubble/TranslationTextView.h"
#include "tests/bubble/ScreenLayouts.h"
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
        // The content may not have shown the model's last change yet.
        ASSERT_TRUE(shows([&] { return button->isVisibleTo(&panel) && button->isEnabled(); }))
            << button->text().toStdString();
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
    translateNow(placed, u"今天开会"_s);
    const BubbleModelState state = BubbleModelState::of(*model, 2.0);
    EXPECT_TRUE(state.wantsPanel);
    EXPECT_EQ(state.previewBounds, QRectF(100, 200, 300, 24));
}

TEST_F(TranslationBubbleTest, EachControlReachesItsModelOperation)
{
    translateNow(field, u"今天开会"_s);
    ASSERT_TRUE(shows([&] { return content->copyButton()->isVisible(); }));
    EXPECT_EQ(content->translation()->toPlainText(), u"EN:今天开会"_s);

    click(content->copyButton());
    EXPECT_EQ(copied, QStringList{u"EN:今天开会"_s});
    EXPECT_TRUE(shows([&] { return content->copyButton()->text() == u"已复制"_s; }));
    time.advance(1500ms);
    EXPECT_TRUE(shows([&] { return content->copyButton()->text() == u"复制"_s; }));

    // A new target from the picker reaches the model (which translates again: its own tests).
    QTest::keyClick(content->targetPicker(), Qt::Key_Down);
    EXPECT_EQ(model->inputTargetLanguage(), TranslationLanguage::japanese);
    ASSERT_TRUE(settleUntil([&] { return model->hasPendingTranslation(); }));
    time.advance(0ms);
    ASSERT_TRUE(settleUntil([&] { return transport->sent.size() == 2; }));
    finishTranslation();

    click(content->replaceButton());
    ASSERT_TRUE(settleUntil([&] { return !model->isValidatingReplacement(); }));
    EXPECT_EQ(field.currentValue(), u"EN:今天开会"_s);
    ASSERT_TRUE(shows([&] { return content->undoButton()->isVisible(); }));

    click(content->undoButton());
    ASSERT_TRUE(settleUntil([&] { return !model->isValidatingReplacement(); }));
    EXPECT_EQ(field.currentValue(), u"今天开会"_s);

    transport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, {});
    };
    translateNow(field, u"明天开会"_s);
    ASSERT_TRUE(shows([&] { return content->retryButton()->isVisible(); }));
    EXPECT_EQ(content->message()->text(), model->translationErrorMessage());
    transport->answer = [](const FakeChatTransport::Sent& sent) {
        return TransportReply::response(200, FakeChatTransport::okBody(u"JA:"_s + sent.userText()));
    };
    click(content->retryButton());
    ASSERT_TRUE(settleUntil([&] { return model->hasPendingTranslation(); }));
    time.advance(0ms);
    finishTranslation();
    EXPECT_TRUE(shows([&] { return content->translation()->toPlainText() == u"JA:明天开会"_s; }));

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

// The content and the panel's own controls follow, for a sighted user and a screen reader alike.
TEST_F(TranslationBubbleTest, TheContentFollowsTheInterfaceLanguageWhileShown)
{
    translateNow(field, u"今天开会"_s);
    ASSERT_TRUE(shows([&] { return content->copyButton()->isVisible(); }));
    ASSERT_TRUE(model->setInterfaceLanguage(InterfaceLanguage::english));
    EXPECT_TRUE(shows([&] { return title() == u"Input translation"_s; }));
    // One text each of the content, its pickers, a screen reader's names and the panel's own.
    BubbleTitleBar& bar = *panel.titleBar();
    EXPECT_EQ((QStringList{content->copyButton()->text(), content->targetPicker()->currentText(),
                           content->translation()->accessibleName(), panel.accessibleName(),
                           bar.pinButton()->text()}),
              (QStringList{u"Copy"_s, label(TranslationLanguage::english), u"Translation"_s,
                           u"Translation panel"_s, u"Pin here"_s}));
    bar.setPinned(true);
    EXPECT_EQ(bar.pinButton()->text(), u"Follow the field again"_s);
}

// --- Looks ---

// Both languages, the desktop's light and dark palettes, with a compositor (a rounded card on
// a shadow) and without (a bordered rectangle). Each state is also written as a PNG for a person
// to open (build/tests/bubble/artifacts); run again with QT_SCALE_FACTOR=2 for the 2x pictures.
struct Look {
    const char* name;
    InterfaceLanguage language;
    bool dark;
    bool compositor;
};

// A dark desktop palette, as a dark theme gives it to Qt programs.
QPalette darkPalette()
{
    QPalette dark(QColor(0x3a, 0x3a, 0x3e), QColor(0x2d, 0x2d, 0x30));
    const QColor text(0xe8, 0xe8, 0xe8);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(role, text);
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    dark.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    return dark;
}

class ContentLookTest : public ModelTest, public ::testing::WithParamInterface<Look> {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        LocalizationState::shared().setLanguage(GetParam().language);
        QApplication::setPalette(GetParam().dark ? darkPalette() : QApplication::style()->standardPalette());
        consentToCloud();
        ASSERT_TRUE(settings.setBool(u"pageTranslationEnabled"_s, true));
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
        const QImage image = shot.toImage();
        const auto pixel = [&](QPoint point) {
            return image.pixelColor(QPointF(point * shot.devicePixelRatio()).toPoint());
        };
        // The padding left of the content shows the card's own fill: the desktop's window colour.
        const QRgb fill = panel.palette().color(QPalette::Window).rgb();
        EXPECT_EQ(pixel(QPoint(card.left() + 4, card.center().y())).rgb(), fill);
        if (GetParam().compositor) {
            // Rounded: the window's corner shows what lies beneath, the card's corner is cut off.
            EXPECT_EQ(pixel(QPoint(0, 0)).alpha(), 0);
            EXPECT_LT(pixel(card.topLeft()).alpha(), 255);
        } else {
            // Nothing beneath shows through without a compositor: an opaque border frames it.
            EXPECT_EQ(pixel(QPoint(0, 0)).alpha(), 255);
            EXPECT_NE(pixel(QPoint(0, 0)).rgb(), fill);
        }
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
};

TEST_P(ContentLookTest, EveryStateFitsAt340Points)
{
    DesktopElement page = window.group().bounds(QRectF(100, 200, 400, 300));
    editor.activate();
    desktop.setPointer(QPointF(120, 215));
    page.selectedTextAttribute(u"The quick brown fox jumps over the lazy dog."_s);
    model->inspectSelectionAfterMouseUp(std::nullopt);
    ASSERT_TRUE(settleUntil([&] { return transport->sent.size() == 1; }));
    time.advance(transport->latency);
    ASSERT_TRUE(settleUntil([&] { return model->selectionPreview(); }));
    look("page");
    model->discardPreview();

    DesktopElement field = window.textArea(QString()).focus();
    type(field, u"这周我们先完成产品设计"_s);
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
    translateNow(field, u"这周我们先完成产品设计，然后和团队一起评审。"_s);
    look("long");

    transport->answer = [](const FakeChatTransport::Sent&) {
        return TransportReply::response(500, {});
    };
    translateNow(field, u"明天开会"_s);
    ASSERT_TRUE(settleUntil([&] { return model->showingError(); }));
    look("error");

    // Only the selected part of the field, translated for replacing exactly that part.
    transport->answer = [](const FakeChatTransport::Sent& sent) {
        return TransportReply::response(200, FakeChatTransport::okBody(u"EN:"_s + sent.userText()));
    };
    model->setInputTranslationMode(TranslationMode::selection);
    field.value(u"明天下午三点开会"_s).selection(2, 4);
    const qsizetype sent = transport->sent.size();
    model->inspectSelectionAfterMouseUp(std::nullopt);
    ASSERT_TRUE(settleUntil([&] { return transport->sent.size() > sent; }));
    time.advance(transport->latency);
    ASSERT_TRUE(settleUntil([&] { return model->selectionPreview() && model->canReplacePreview(); }));
    look("selection");
}

INSTANTIATE_TEST_SUITE_P(Looks, ContentLookTest,
                         ::testing::Values(Look{"zh-light-shadowed", InterfaceLanguage::chinese, false, true},
                                           Look{"en-dark-bordered", InterfaceLanguage::english, true, false}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace qw::test
