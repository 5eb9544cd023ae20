// Range rules of the panels' numeric fields.
//
// `wrap_into` is the rule of every edit field: a value past one end jumps to the other
// end (0 minus 1 gives the maximum, the maximum plus 1 gives 0). It is not a modulo: a
// typed 0x100 into a 0..255 field gives 0, and 200 plus the fast step 100 gives 0, not 44.
// `clamp_into` is the ordinary clamp, used for the run rate.
#pragma once

#include <cstdint>

constexpr std::int32_t wrap_into(std::int32_t lo, std::int32_t v, std::int32_t hi) {
    if (v < lo) return hi;
    if (v > hi) return lo;
    return v;
}

constexpr std::int32_t clamp_into(std::int32_t lo, std::int32_t v, std::int32_t hi) {
    if (v < lo) return lo;
    if (v > hi) return hi;
    return v;
}
