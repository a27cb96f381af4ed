#include "changed_registers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

// Runs a find and records which registers it looked at.
struct Pass {
    std::vector<int32_t> examined;
    std::optional<int32_t> found;
};

Pass Examine(RegisterRange range, int32_t start, const std::vector<int32_t>& changed = {}) {
    Pass pass;
    pass.found = FindNextChanged(range, start, [&](int32_t i) {
        pass.examined.push_back(i);
        return std::find(changed.begin(), changed.end(), i) != changed.end();
    });
    return pass;
}

std::vector<int32_t> Span(int32_t from, int32_t to) {
    std::vector<int32_t> indexes(to - from + 1);
    std::iota(indexes.begin(), indexes.end(), from);
    return indexes;
}

std::vector<int32_t> Concat(std::vector<int32_t> a, const std::vector<int32_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(FindNextChanged, FromOutsideTheRangeExaminesItOnce) {
    const Pass tram = Examine(kTramDataRange, 255);
    EXPECT_EQ(tram.examined, Span(256, 415));
    EXPECT_FALSE(tram.found);

    EXPECT_EQ(Examine(kGeneralPurposeRange, 300).examined, Span(0, 255));
    EXPECT_EQ(Examine(kTramDataRange, 500, {300, 400}).found, 300);
}

TEST(FindNextChanged, FromInsideTheRangeWrapsAndStopsBeforeTheStart) {
    const Pass any = Examine(kAnyRegisterRange, 10);
    EXPECT_EQ(any.examined, Concat(Span(11, 511), Span(0, 9)));

    const Pass last = Examine(kTramDataRange, 415);
    EXPECT_EQ(last.examined, Span(256, 414));

    const Pass first = Examine(kGeneralPurposeRange, 0);
    EXPECT_EQ(first.examined, Span(1, 255));
}

TEST(FindNextChanged, TakesTheFirstChangeInPassOrder) {
    EXPECT_EQ(Examine(kAnyRegisterRange, 10, {5, 20, 40}).found, 20);
    EXPECT_EQ(Examine(kAnyRegisterRange, 40, {5, 20, 40}).found, 5); // wrapped
    EXPECT_EQ(Examine(kAnyRegisterRange, 40, {40}).found, std::nullopt);
    EXPECT_EQ(Examine(kTramDataRange, 415, {256}).found, 256);
    const Pass early = Examine(kGeneralPurposeRange, 100, {102});
    EXPECT_EQ(early.examined, (std::vector<int32_t>{101, 102}));
}

TEST(FindNextChanged, OneRegisterOrEmptyRange) {
    EXPECT_TRUE(Examine({7, 7}, 7, {7}).examined.empty());
    EXPECT_EQ(Examine({7, 7}, 3, {7}).found, 7);
    EXPECT_TRUE(Examine({9, 8}, 8, {8, 9}).examined.empty());
}

class ChangedRegistersTest : public ::testing::Test {
  protected:
    void Read() {
        images.Refresh([this](int32_t* values) {
            std::copy(chip.begin(), chip.end(), values);
            return 0;
        });
    }
    std::vector<int32_t> chip = std::vector<int32_t>(GprHistory::kSize, 0);
    GprHistory images;
};

TEST_F(ChangedRegistersTest, NothingChangesOnTheFirstRead) {
    chip[3] = 5;
    Read();
    EXPECT_FALSE(RegisterChanged(images, 3));
    const FindResult result = FindChangedRegister(images, kAnyRegisterRange, 0);
    EXPECT_EQ(result.outcome, FindOutcome::NoEarlierImage);
}

TEST_F(ChangedRegistersTest, ComparesOnlyTheLastTwoReads) {
    Read();
    chip[3] = 5;
    chip[300] = -1;
    Read();
    for (int32_t i = 0; i < static_cast<int32_t>(GprHistory::kSize); ++i)
        EXPECT_EQ(RegisterChanged(images, i), i == 3 || i == 300) << i;
    EXPECT_FALSE(RegisterChanged(images, -1));
    EXPECT_FALSE(RegisterChanged(images, 512));

    const FindResult gpr = FindChangedRegister(images, kGeneralPurposeRange, 3);
    EXPECT_EQ(gpr.outcome, FindOutcome::NoneChanged); // 3 itself is not examined
    const FindResult tram = FindChangedRegister(images, kTramDataRange, 3);
    EXPECT_EQ(tram.outcome, FindOutcome::Found);
    EXPECT_EQ(tram.index, 300);

    Read(); // same values again: nothing changed any more
    EXPECT_FALSE(RegisterChanged(images, 3));
    EXPECT_EQ(FindChangedRegister(images, kAnyRegisterRange, 0).outcome, FindOutcome::NoneChanged);
}

} // namespace
