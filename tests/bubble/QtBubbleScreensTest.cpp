#include "bubble/QtBubbleScreens.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace qw;

TEST(QtBubbleScreens, DescribesQtsScreensWithIdsThatSurviveAReconnect)
{
    QtBubbleScreens screens;
    const ScreenLayout layout = screens.layout();
    ASSERT_EQ(layout.screens.size(), std::size_t(QGuiApplication::screens().size()));
    const QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_TRUE(layout.mainOrFirst());
    EXPECT_EQ(layout.mainOrFirst()->frame, QRectF(primary->geometry()));
    EXPECT_EQ(layout.mainOrFirst()->visibleFrame, QRectF(primary->availableGeometry()));

    // The id is a function of the output's name alone.
    EXPECT_EQ(QtBubbleScreens::idForName("HDMI-1"), QtBubbleScreens::idForName(QString("HDMI-") + "1"));
    EXPECT_NE(QtBubbleScreens::idForName("HDMI-1"), QtBubbleScreens::idForName("HDMI-2"));
}
