#include "frequency_analyzer.h"
#include "frequency_bins.h"
#include "log_axis.h"
#include "sample_fraction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

namespace {

std::vector<double> Sine(double hz, double amplitude, std::size_t count, double phase = 0.3) {
    std::vector<double> samples(count);
    for (std::size_t n = 0; n < count; ++n)
        samples[n] =
            amplitude *
            std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / kSampleRateHz + phase);
    return samples;
}

FrequencyAnalyzer Analyzed(std::size_t size, const std::vector<double>& samples,
                           std::size_t depth = 1) {
    FrequencyAnalyzer analyzer(size);
    analyzer.setAverageDepth(depth);
    analyzer.feed(samples.data(), samples.size());
    analyzer.update();
    return analyzer;
}

// The spread of the levels in dB over the bins well inside the band.
double LevelVariance(const FrequencyAnalyzer& analyzer) {
    double sum = 0, square = 0;
    const std::size_t from = 16, to = analyzer.fftSize() / 2 - 16;
    for (std::size_t k = from; k < to; ++k) {
        sum += analyzer.levelDbfs(k);
        square += analyzer.levelDbfs(k) * analyzer.levelDbfs(k);
    }
    const double n = static_cast<double>(to - from);
    return square / n - (sum / n) * (sum / n);
}

} // namespace

TEST(SpectrumCore, ASinePeaksAtItsBinAndACentredOneReadsItsAmplitude) {
    struct Row {
        double hz;
        std::size_t size;
        double amplitude;
        bool centred; // on a bin centre: no loss between bins
    };
    const Row rows[] = {
        {1000.0, 1024, 1.0, false},
        {1000.0, 65536, 0.5, false},
        {100 * kSampleRateHz / 1024, 1024, 1.0, true},
        {3000 * kSampleRateHz / 65536, 65536, 1.0, true},
        {500 * kSampleRateHz / 8192, 8192, 0.5, true},
        {23000.0, 4096, 1.0, false},
        {21.0, 65536, 0.25, false},
    };
    for (const Row& row : rows) {
        const std::string label = std::to_string(row.hz) + " Hz at " + std::to_string(row.size);
        const FrequencyAnalyzer analyzer =
            Analyzed(row.size, Sine(row.hz, row.amplitude, row.size));
        ASSERT_TRUE(analyzer.hasSpectrum()) << label;
        const double expectedBin = row.hz * static_cast<double>(row.size) / kSampleRateHz;
        EXPECT_LE(std::abs(static_cast<double>(analyzer.peakBin()) - expectedBin), 1.0) << label;
        // A Hann window's leakage has fallen far below the tone 8 bins away.
        const double tone = 20.0 * std::log10(row.amplitude);
        EXPECT_LT(analyzer.levelDbfs(analyzer.peakBin() + 8), tone - 50) << label;
        EXPECT_LT(analyzer.levelDbfs(analyzer.peakBin() - 8), tone - 50) << label;
        if (row.centred) {
            EXPECT_NEAR(analyzer.levelDbfs(analyzer.peakBin()), 20.0 * std::log10(row.amplitude),
                        0.1)
                << label;
        }
    }
}

TEST(SpectrumCore, AveragingIdenticalFramesChangesNothingAndAveragingNoiseSettlesIt) {
    const std::vector<double> tone = Sine(1234.0, 0.7, 4096);
    const FrequencyAnalyzer single = Analyzed(4096, tone);
    FrequencyAnalyzer averaged = Analyzed(4096, tone, 8);
    for (int frame = 0; frame < 10; ++frame) {
        averaged.feed(tone.data(), tone.size());
        ASSERT_TRUE(averaged.update());
    }
    for (std::size_t k = 0; k <= 2048; ++k) {
        ASSERT_NEAR(averaged.levelDbfs(k), single.levelDbfs(k), 1e-6) << "bin " << k;
    }

    std::mt19937 random(27);
    std::normal_distribution<double> normal(0.0, 0.1);
    std::vector<double> noise(4096 * 16);
    for (double& sample : noise)
        sample = normal(random);
    FrequencyAnalyzer once(4096), sixteen(4096);
    sixteen.setAverageDepth(16);
    for (std::size_t frame = 0; frame < 16; ++frame) {
        sixteen.feed(noise.data() + frame * 4096, 4096);
        sixteen.update();
    }
    once.feed(noise.data() + 15 * 4096, 4096);
    once.update();
    // A power average of 16 spectra shrinks the spread far below a quarter.
    EXPECT_LT(LevelVariance(sixteen), LevelVariance(once) / 4);
}

TEST(SpectrumCore, TheSpectrumDependsOnlyOnTheLatestSamplesHoweverTheyCame) {
    const std::vector<double> tone = Sine(440.0, 0.5, 12000);
    const std::vector<double> latest(tone.end() - 4096, tone.end());
    const FrequencyAnalyzer direct = Analyzed(4096, latest);

    FrequencyAnalyzer chunked(4096);
    for (std::size_t at = 0; at < tone.size(); at += 37)
        chunked.feed(tone.data() + at, std::min<std::size_t>(37, tone.size() - at));
    chunked.update();
    FrequencyAnalyzer resized(16384);
    resized.feed(tone.data(), tone.size());
    EXPECT_TRUE(resized.setFftSize(4096));
    resized.update();
    FrequencyAnalyzer restarted = Analyzed(4096, Sine(9000.0, 1.0, 4096));
    restarted.restart();
    EXPECT_FALSE(restarted.hasSpectrum());
    restarted.feed(latest.data(), 2048);
    EXPECT_FALSE(restarted.update()) << "half a frame after a restart";
    restarted.feed(latest.data() + 2048, 2048);
    restarted.update();

    for (const FrequencyAnalyzer* other : {&chunked, &resized, &restarted}) {
        ASSERT_TRUE(other->hasSpectrum());
        for (std::size_t k = 0; k <= 2048; ++k) {
            ASSERT_NEAR(other->levelDbfs(k), direct.levelDbfs(k), 1e-6) << "bin " << k;
        }
    }
}

TEST(SpectrumCore, SizesOutsideThePowersOfTwoFrom1024To65536AreRefused) {
    FrequencyAnalyzer analyzer(2048);
    for (std::size_t size : {0ul, 512ul, 1000ul, 3072ul, 131072ul}) {
        EXPECT_FALSE(analyzer.setFftSize(size)) << size;
        EXPECT_EQ(analyzer.fftSize(), 2048u) << size;
    }
    EXPECT_TRUE(analyzer.setFftSize(65536));
}

TEST(SpectrumCore, TheLogAxisRoundTripsAndGivesEveryDecadeTheSameWidth) {
    const LogAxis axis{700.0};
    for (double x : {0.0, 0.5, 1.0, 123.4, 350.0, 699.0, 700.0})
        EXPECT_NEAR(axis.xOf(axis.frequencyAt(x)), x, 1e-9) << x;
    EXPECT_NEAR(axis.frequencyAt(0), 20.0, 1e-9);
    EXPECT_NEAR(axis.frequencyAt(700), 24000.0, 1e-6);
    const double decade = axis.xOf(200) - axis.xOf(20);
    for (double from : {50.0, 100.0, 1000.0, 2400.0})
        EXPECT_NEAR(axis.xOf(from * 10) - axis.xOf(from), decade, 1e-9) << from;
}

TEST(SpectrumCore, ThePlotsColumnsMissNoBinFrom20HzTo24kHz) {
    for (std::size_t size : {1024ul, 65536ul}) {
        const LogAxis axis{640.0};
        std::vector<bool> seen(size / 2 + 1, false);
        for (int column = 0; column < 640; ++column) {
            const BinRange range = BinsOfColumn(axis, column, size);
            for (std::size_t k = range.first; k <= range.last; ++k)
                seen[k] = true;
        }
        for (std::size_t k = BinNearest(20.0, size) + 1; k <= size / 2; ++k) {
            ASSERT_TRUE(seen[k]) << "bin " << k << " of " << size;
        }
    }
}

TEST(SpectrumCore, RegisterValuesAreFractionsOfFullScaleAndTramDataKeepsItsTop20Bits) {
    EXPECT_DOUBLE_EQ(SampleFraction(INT32_MIN, false), -1.0);
    EXPECT_DOUBLE_EQ(SampleFraction(0x40000000, false), 0.5);
    EXPECT_DOUBLE_EQ(SampleFraction(0x00000FFF, false), 4095.0 / 2147483648.0);
    EXPECT_DOUBLE_EQ(SampleFraction(0x00000FFF, true), 0.0);
    EXPECT_DOUBLE_EQ(SampleFraction(0x40001FFF, true), (0x40001000) / 2147483648.0);
}
