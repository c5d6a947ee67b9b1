#pragma once

#include <cstdint>

// Colours are kept as the toolkit's colour integers (red in the low byte, then green, then
// blue), the form in which the window's layout gives them. Qt's QRgb is 0xAARRGGBB; this
// turns one into the other, opaque, without needing Qt Gui in the core.
constexpr std::uint32_t RgbFromToolkitColor(std::int32_t color)
{
    const auto bits = static_cast<std::uint32_t>(color);
    const std::uint32_t red = bits & 0xffu;
    const std::uint32_t green = (bits >> 8) & 0xffu;
    const std::uint32_t blue = (bits >> 16) & 0xffu;
    return 0xff000000u | (red << 16) | (green << 8) | blue;
}
