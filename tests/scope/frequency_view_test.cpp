#include "frequency_view.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

TEST(SpectrumViewTest, A1kHzSineFedAsTheScopeFeedsItReadsAt1kHzUnderTheCursorAtThePeak) {
    FrequencyView view;
    view.resize(900, 420);
    view.show();
    auto* size = view.findChild<QComboBox*>("cmbSpectrumSize");
    auto* cursor = view.findChild<QLabel*>("lblSpectrumCursor");
    ASSERT_TRUE(size && cursor);
    size->setCurrentIndex(size->findText("16384"));
    ASSERT_EQ(view.analyzer().fftSize(), 16384u);

    // A half-scale 1 kHz sine in the register's 32 bits, 1,600 samples a frame
    // as the scope delivers them at 30 frames a second.
    long n = 0;
    auto feedFrame = [&] {
        std::vector<int32_t> frame(1600);
        for (int32_t& value : frame)
            value = static_cast<int32_t>(std::lround(
                0.5 * 2147483647.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * n++ / 48000.0)));
        view.feed(frame, false);
    };
    for (int i = 0; i < 10; ++i)
        feedFrame();
    EXPECT_TRUE(cursor->text().contains("waiting for 16384")) << cursor->text().toStdString();
    feedFrame();
    QApplication::processEvents();

    view.moveCursorToPeak();
    const QRegularExpressionMatch reading =
        QRegularExpression(R"(^(\d+) Hz  (-?\d+\.\d) dBFS$)").match(view.cursorText());
    ASSERT_TRUE(reading.hasMatch()) << view.cursorText().toStdString();
    EXPECT_LE(std::abs(reading.captured(1).toDouble() - 1000.0), 48000.0 / 16384);
    // -6.02 dBFS, less at most 1.42 dB where a Hann window falls between bins.
    EXPECT_LE(reading.captured(2).toDouble(), -5.9);
    EXPECT_GE(reading.captured(2).toDouble(), -7.5);

    view.restart();
    EXPECT_TRUE(view.cursorText().contains("waiting for 16384")) << view.cursorText().toStdString();
}
