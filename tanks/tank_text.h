// Everything the tank window writes: node keys and labels, delays in
// milliseconds and the ten rows that describe a tank.
#pragma once

#include "tank_record.h"

#include <array>
#include <optional>
#include <string>

// 48 samples make one millisecond.
constexpr int32_t kSamplesPerMs = 48;

enum class MsStyle {
    Tenths,         // one decimal, halves rounded away from zero ("1.0", "0.3")
    Whole,          // no decimal, halves rounded away from zero
    WholeTruncated, // no decimal, cut toward zero
};

// samples / 48 as text in the given style, always with at least one integer digit.
std::string FormatMs(int32_t samples, MsStyle style);

// Tree keys: "i" or "e" followed by the tank number in decimal.
std::string TankKey(TankPool pool, int32_t number);

struct TankRef {
    TankPool pool;
    int32_t number;
};
// The tank a key names, or nothing for the root, the pool nodes and anything malformed.
std::optional<TankRef> ParseTankKey(const std::string& key);

// The tree label: "itank3 (1.5ms)", "etank0 (20ms)", or "itank2(?)" without read points.
std::string TankLabel(TankPool pool, int32_t number, const TankRecord& tank);

constexpr int kTankInfoRows = 10;
using TankInfo = std::array<std::string, kTankInfoRows>;

// Captions of the ten detail rows, in row order.
const TankInfo& TankInfoCaptions();

// The ten detail values of a tank.
TankInfo TankInfoValues(const TankRecord& tank, TankPool pool);
