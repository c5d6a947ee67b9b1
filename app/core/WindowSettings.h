#pragma once

#include "app/core/ScanTiming.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// What the viewer remembers between runs: the window's frame position, outer size and state, and
// the scan interval. Its file form is a fixed 25-byte little-endian record guarded by a checksum.
struct WindowSettings
{
    static constexpr std::uint8_t Normal = 0;
    static constexpr std::uint8_t Minimized = 1;
    static constexpr std::uint8_t Maximized = 2;

    // The window as it is built: its client area; and the record of a first run, the window
    // normal at (294, 152) and 661 x 472 with its frame, and the interval it starts with.
    static constexpr std::int32_t ClientWidth = 653;
    static constexpr std::int32_t ClientHeight = 438;
    std::int32_t Left = 294;
    std::int32_t Top = 152;
    std::int32_t Height = 472;
    std::int32_t Width = 661;
    std::uint8_t WindowState = Normal;
    std::int32_t Interval = ScanTiming::DefaultIntervalSeconds;

    bool operator==(const WindowSettings &) const = default;
};

// Byte offsets of the record; Height precedes Width, bytes 17 to 19 are filler.
namespace WindowSettingsLayout {
inline constexpr std::size_t Left = 0;
inline constexpr std::size_t Top = 4;
inline constexpr std::size_t Height = 8;
inline constexpr std::size_t Width = 12;
inline constexpr std::size_t WindowState = 16;
inline constexpr std::size_t Interval = 20;
inline constexpr std::size_t Checksum = 24;
// The bytes the checksum covers, filler included.
inline constexpr std::size_t BodySize = 24;
inline constexpr std::size_t RecordSize = 25;
} // namespace WindowSettingsLayout

using WindowSettingsRecord = std::array<std::uint8_t, WindowSettingsLayout::RecordSize>;

// The sum of the body bytes, wrapping at 256.
std::uint8_t settingsChecksum(std::span<const std::uint8_t, WindowSettingsLayout::BodySize> body);

// The record as the file holds it: filler zero, checksum last.
WindowSettingsRecord encodeWindowSettings(const WindowSettings &settings);

// The settings a record holds, or nothing when its checksum does not match its body. The filler
// only counts towards the checksum. A state byte above Maximized is taken as Normal.
std::optional<WindowSettings> decodeWindowSettings(const WindowSettingsRecord &record);
