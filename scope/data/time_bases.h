// The screen times the scope offers, one screen each: a 1-2-5 series from
// 1 ms to 2 s, the bar's list and what --time-base takes.
#pragma once

inline constexpr double kTimeBasesMs[] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000};
inline constexpr double kDefaultTimeBaseMs = 20;
// The scope's traces, each asked in the same samples request.
inline constexpr int kScopeTraces = 4;
