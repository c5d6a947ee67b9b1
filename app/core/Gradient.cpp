#include "app/core/Gradient.h"

#include "app/core/ToolkitColor.h"

#include <cmath>

namespace {

// a * b / c rounded to the nearest integer, halves upwards, for non-negative a, b and positive c.
int roundedRatio(long long a, long long b, long long c)
{
    return int((2 * a * b + c) / (2 * c));
}

int channel(std::uint32_t color, int shift)
{
    return int((color >> shift) & 0xFF);
}

int blend(int start, int end, int i, int last)
{
    if (last == 0)
        return start;
    return start + int(std::lround(double(end - start) * i / last));
}

} // namespace

std::vector<GradientBand> gradientBands(int height, std::uint32_t startColor,
                                        std::uint32_t endColor, int count)
{
    std::vector<GradientBand> bands;
    if (count <= 0 || height <= 0)
        return bands;
    bands.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        GradientBand band;
        band.top = roundedRatio(i, height, count);
        band.bottom = roundedRatio(i + 1, height, count);
        const int red = blend(channel(startColor, 0), channel(endColor, 0), i, count - 1);
        const int green = blend(channel(startColor, 8), channel(endColor, 8), i, count - 1);
        const int blue = blend(channel(startColor, 16), channel(endColor, 16), i, count - 1);
        band.color = rgbFromToolkitColor(red | green << 8 | blue << 16);
        bands.push_back(band);
    }
    return bands;
}
