#pragma once

#include <cstdint>

// Colours are kept as the toolkit's colour integers (red in the low byte, then green, then
// blue), the form in which the window's layout gives them. Qt's QRgb is 0xAARRGGBB; this
// turns one into the other, opaque, without needing Qt Gui in the core.
constexpr std::uint32_t rgbFromToolkitColor(std::int32_t color)
{
    const auto bits = static_cast<std::uint32_t>(color);
    const std::uint32_t red = bits & 0xffu;
    const std::uint32_t green = (bits >> 8) & 0xffu;
    const std::uint32_t blue = (bits >> 16) & 0xffu;
    return 0xff000000u | (red << 16) | (green << 8) | blue;
}

// The result grid's two colours.
namespace GridColors {
inline constexpr int Color = 16119287;      // data cells: red 247, green 245, blue 245
inline constexpr int FixedColor = 14737632; // header cells: red 224, green 224, blue 224
} // namespace GridColors
