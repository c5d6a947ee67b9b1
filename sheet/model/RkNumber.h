#pragma once

#include <cstdint>
#include <cstring>

// A number as the legacy and the binary workbook formats store it in 32 bits (an RK value): a
// 30-bit integer, or the top 30 bits of a double, either of them possibly times 100.
inline double rkValue(std::uint32_t rk)
{
    double value;
    if (rk & 2) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 1) ? value / 100 : value;
}
