#pragma once
// Integer division rounded toward minus infinity, with a remainder in
// [0, divisor) for a positive divisor. Any thread.
#include <cmath>
#include <cstdint>

namespace zolt::geometry {

struct FloorDivision {
    int32_t quotient = 0;
    int32_t remainder = 0;
};

// A divisor of 0 answers 0 and 0 rather than dividing by zero.
inline FloorDivision floor_divide(int32_t dividend, int32_t divisor) {
    FloorDivision result;
    if (divisor == 0) {
        return result;
    }
    result.quotient = static_cast<int32_t>(std::floor(static_cast<double>(dividend) / static_cast<double>(divisor)));
    result.remainder = static_cast<int32_t>(static_cast<int64_t>(dividend) - int64_t{result.quotient} * divisor);
    if (result.remainder >= divisor) {
        result.remainder = 0;
        ++result.quotient;
    } else if (result.remainder < 0) {
        result.remainder = 0;
    }
    return result;
}

}  // namespace zolt::geometry
