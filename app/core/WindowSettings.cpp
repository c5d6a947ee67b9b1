#include "app/core/WindowSettings.h"

namespace {

void PutInt32(WindowSettingsRecord &record, std::size_t offset, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::int32_t GetInt32(const WindowSettingsRecord &record, std::size_t offset)
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= std::uint32_t(record[offset + i]) << (8 * i);
    // Two's complement reinterpretation, well defined since C++20.
    return static_cast<std::int32_t>(bits);
}

std::span<const std::uint8_t, WindowSettingsLayout::BodySize>
BodyOf(const WindowSettingsRecord &record)
{
    return std::span<const std::uint8_t, WindowSettingsLayout::RecordSize>(record)
        .first<WindowSettingsLayout::BodySize>();
}

} // namespace

std::uint8_t SettingsChecksum(std::span<const std::uint8_t, WindowSettingsLayout::BodySize> body)
{
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : body)
        sum = static_cast<std::uint8_t>(sum + byte);
    return sum;
}

WindowSettingsRecord EncodeWindowSettings(const WindowSettings &settings)
{
    namespace L = WindowSettingsLayout;
    WindowSettingsRecord record{};
    PutInt32(record, L::Left, settings.Left);
    PutInt32(record, L::Top, settings.Top);
    PutInt32(record, L::Height, settings.Height);
    PutInt32(record, L::Width, settings.Width);
    record[L::WindowState] = settings.WindowState;
    PutInt32(record, L::Interval, settings.Interval);
    record[L::Checksum] = SettingsChecksum(BodyOf(record));
    return record;
}

std::optional<WindowSettings> DecodeWindowSettings(const WindowSettingsRecord &record)
{
    namespace L = WindowSettingsLayout;
    if (SettingsChecksum(BodyOf(record)) != record[L::Checksum])
        return std::nullopt;
    WindowSettings settings;
    settings.Left = GetInt32(record, L::Left);
    settings.Top = GetInt32(record, L::Top);
    settings.Height = GetInt32(record, L::Height);
    settings.Width = GetInt32(record, L::Width);
    const std::uint8_t state = record[L::WindowState];
    settings.WindowState = state <= WindowSettings::Maximized ? state : WindowSettings::Normal;
    settings.Interval = GetInt32(record, L::Interval);
    return settings;
}
