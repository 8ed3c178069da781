// The panel as the user sees it, in both interface languages, the desktop's light and dark
// palettes, with and without a compositor. Each look is also written as a PNG for a person to
// open (build/tests/bubble/artifacts); run again with QT_SCALE_FACTOR=2 for the 2x pictures.
#include "bubble/BubblePanel.h"
#include "bubble/BubblePlaceholderContent.h"
#include "bubble/BubbleResizeGrip.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/BubbleWindow.h"
#include "l10n/LocalizationState.h"
#include "tests/bubble/Palettes.h"
#include "tests/bubble/ScreenLayouts.h"
#include "tests/bubble/SubstitutePanel.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QToolButton>
#include <cmath>
#include <gtest/gtest.h>

using namespace qw;
using namespace qw::test;

namespace {

struct Look {
    const char* name;
    InterfaceLanguage language;
    bool dark;
    bool compositor;
};

class BubbleLookTest : public ::testing::TestWithParam<Look> {
protected:
    void SetUp() override
    {
        LocalizationState::shared().setLanguage(GetParam().language);
        QApplication::setPalette(GetParam().dark ? darkPalette() : QApplication::style()->standardPalette());
    }
    void TearDown() override
    {
        LocalizationState::shared().setLanguage(InterfaceLanguage::system);
        QApplication::setPalette(QApplication::style()->standardPalette());
    }

    SubstituteScreens screens{single()};
    VirtualTime time;
};

} // namespace

TEST_P(BubbleLookTest, EverythingFitsInsideTheCardInThePalettesColours)
{
    const bool compositor = GetParam().compositor;
    BubbleWindow window(screens, time, [compositor] { return compositor; });
    BubblePanel& panel = window.panel();
    panel.titleBar()->setTitle(BubblePlaceholderContent::title());
    panel.setContent(new BubblePlaceholderContent);
    window.refresh({true, QRectF(100, 500, 300, 30)});
    // The narrowest panel the user can make: where text is cut first.
    window.controller().resizeStarted();
    window.controller().resizeMoved(300);
    window.controller().resizeEnded();
    // The content reports its height once the layout has settled.
    ASSERT_TRUE(pumpUntil([&] {
        return std::abs(window.frame().height() - std::max(80.0, std::ceil(panel.preferredHeight()))) <= 1;
    }));
    ASSERT_EQ(window.frame().width(), 340);

    const QRect card = panel.cardRect();
    for (QWidget* child : panel.findChildren<QWidget*>()) {
        if (!child->isVisible())
            continue;
        SCOPED_TRACE(child->metaObject()->className());
        SCOPED_TRACE(child->accessibleName().toStdString());
        EXPECT_TRUE(card.contains(QRect(child->mapTo(&panel, QPoint(0, 0)), child->size())));
        if (qobject_cast<QAbstractButton*>(child)) {
            EXPECT_GE(child->width(), child->sizeHint().width()) << "button text cut off";
        }
        if (auto* label = qobject_cast<QLabel*>(child); label && label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "text cut off";
        }
    }

    const QPixmap shot = panel.grab();
    const qreal scale = shot.devicePixelRatio();
    const QImage image = shot.toImage();
    const auto pixel = [&](QPoint point) {
        return image.pixelColor(QPointF(point * scale).toPoint());
    };
    // The padding left of the content shows the card's own fill: the desktop's window colour.
    EXPECT_EQ(pixel(QPoint(card.left() + 4, card.center().y())).rgb(),
              panel.palette().color(QPalette::Window).rgb());
    if (compositor) {
        // Rounded: the window's corner shows what lies beneath, the card's corner is cut off.
        EXPECT_EQ(pixel(QPoint(0, 0)).alpha(), 0);
        EXPECT_LT(pixel(card.topLeft()).alpha(), 255);
    } else {
        // Nothing beneath shows through without a compositor: an opaque border frames the panel.
        EXPECT_EQ(pixel(QPoint(0, 0)).alpha(), 255);
        EXPECT_NE(pixel(QPoint(0, 0)).rgb(), panel.palette().color(QPalette::Window).rgb());
    }

    const QString artifacts = QStringLiteral(QW_BUBBLE_ARTIFACTS);
    QDir().mkpath(artifacts);
    EXPECT_TRUE(shot.save(QStringLiteral("%1/bubble-%2@%3x.png").arg(artifacts, GetParam().name).arg(scale)));
}

INSTANTIATE_TEST_SUITE_P(
    Looks, BubbleLookTest,
    ::testing::Values(Look{"zh-light-shadowed", InterfaceLanguage::chinese, false, true},
                      Look{"zh-dark-shadowed", InterfaceLanguage::chinese, true, true},
                      Look{"zh-light-bordered", InterfaceLanguage::chinese, false, false},
                      Look{"zh-dark-bordered", InterfaceLanguage::chinese, true, false},
                      Look{"en-light-shadowed", InterfaceLanguage::english, false, true},
                      Look{"en-dark-shadowed", InterfaceLanguage::english, true, true},
                      Look{"en-light-bordered", InterfaceLanguage::english, false, false},
                      Look{"en-dark-bordered", InterfaceLanguage::english, true, false}),
    [](const ::testing::TestParamInfo<Look>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });
