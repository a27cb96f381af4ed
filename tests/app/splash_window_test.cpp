#include "splash_window.h"

#include <QLabel>
#include <QWindow>
#include <gtest/gtest.h>

TEST(SplashWindow, ShowsStartUpTextWithProgramVersionAndKeepsOnlyLastInfo) {
    SplashWindow splash;
    splash.show();
    auto* lbla = splash.findChild<QLabel*>("lbla");
    auto* lblB = splash.findChild<QLabel*>("lblB");
    ASSERT_TRUE(lbla && lblB);
    EXPECT_EQ(splash.objectName(), "winSplash");
    EXPECT_EQ(lbla->text().split('\n'),
              QStringList({"Starting Velmora...", "", "version 0.1.10 alpha"}));
    EXPECT_TRUE(lbla->font().bold());
    EXPECT_TRUE(lblB->text().isEmpty());

    splash.ShowSomeInfo("first");
    splash.ShowSomeInfo("second\r\nline");
    EXPECT_EQ(lblB->text(), "second\nline");

    EXPECT_EQ(splash.size(), QSize(218, 126));
    EXPECT_EQ(lbla->geometry(), QRect(8, 8, 201, 41));
    EXPECT_EQ(lblB->geometry().top(), 56);
    EXPECT_TRUE(splash.windowHandle()->flags() & Qt::WindowStaysOnTopHint);
}
