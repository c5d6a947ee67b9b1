#pragma once

#include <cstdint>
#include <vector>

// One horizontal band of the tool strip's gradient background.
struct GradientBand
{
    int top = 0;             // first pixel row
    int bottom = 0;          // one past the last pixel row
    std::uint32_t color = 0; // 0xAARRGGBB, as QRgb
};

// Splits `height` pixel rows into `count` bands of equal height (band i covers the rows from
// i * height / count to (i + 1) * height / count, each rounded to the nearest pixel) and gives
// band i the start colour plus i / (count - 1) of the way to the end colour, so that the first
// band is exactly the start colour and the last exactly the end colour.
std::vector<GradientBand> gradientBands(int height, std::uint32_t startColor,
                                        std::uint32_t endColor, int count = 100);
