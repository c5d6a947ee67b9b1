#include "app/core/WindowSettings.h"

namespace {

void putInt32(WindowSettingsRecord &record, std::size_t offset, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::int32_t getInt32(const WindowSettingsRecord &record, std::size_t offset)
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= std::uint32_t(record[offset + i]) << (8 * i);
    // Two's complement reinterpretation, well defined since C++20.
    return static_cast<std::int32_t>(bits);
}

std::span<const std::uint8_t, WindowSettingsLayout::BodySize>
bodyOf(const WindowSettingsRecord &record)
{
    return std::span<const std::uint8_t, WindowSettingsLayout::RecordSize>(record)
        .first<WindowSettingsLayout::BodySize>();
}

} // namespace

std::uint8_t settingsChecksum(std::span<const std::uint8_t, WindowSettingsLayout::BodySize> body)
{
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : body)
        sum = static_cast<std::uint8_t>(sum + byte);
    return sum;
}

WindowSettingsRecord encodeWindowSettings(const WindowSettings &settings)
{
    namespace L = WindowSettingsLayout;
    WindowSettingsRecord record{};
    putInt32(record, L::Left, settings.Left);
    putInt32(record, L::Top, settings.Top);
    putInt32(record, L::Height, settings.Height);
    putInt32(record, L::Width, settings.Width);
    record[L::WindowState] = settings.WindowState;
    putInt32(record, L::Interval, settings.Interval);
    record[L::Checksum] = settingsChecksum(bodyOf(record));
    return record;
}

std::optional<WindowSettings> decodeWindowSettings(const WindowSettingsRecord &record)
{
    namespace L = WindowSettingsLayout;
    if (settingsChecksum(bodyOf(record)) != record[L::Checksum])
        return std::nullopt;
    WindowSettings settings;
    settings.Left = getInt32(record, L::Left);
    settings.Top = getInt32(record, L::Top);
    settings.Height = getInt32(record, L::Height);
    settings.Width = getInt32(record, L::Width);
    const std::uint8_t state = record[L::WindowState];
    settings.WindowState = state <= WindowSettings::Maximized ? state : WindowSettings::Normal;
    settings.Interval = getInt32(record, L::Interval);
    return settings;
}
