#pragma once

#include <cstdint>
#include <cstring>

// Little-endian loads from byte buffers. Callers check bounds first; these only assemble bytes.
inline std::uint16_t loadU16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t loadU32(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t loadU64(const std::uint8_t *p)
{
    return static_cast<std::uint64_t>(loadU32(p)) |
           (static_cast<std::uint64_t>(loadU32(p + 4)) << 32);
}

inline double loadDouble(const std::uint8_t *p)
{
    const std::uint64_t bits = loadU64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
