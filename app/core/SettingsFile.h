#pragma once

#include "app/core/WindowSettings.h"

#include <QString>
#include <QStringView>

// The settings file "Orvandel.conf" beside the executable: read once at start-up, replaced at
// every close.

// The notices shown when no settings could be taken from the file; two lines, CR LF between.
inline constexpr QStringView SettingsNotFoundNotice =
    u"Не найден файл конфигурации.\r\nБудут приняты установки по умолчанию.";
inline constexpr QStringView SettingsDamagedNotice =
    u"Файл конфигурации поврежден.\r\nБудут приняты установки по умолчанию.";

// The application directory (ending in "/") followed by "Orvandel.conf".
QString settingsFileName(const QString &appDir);

struct SettingsReadResult
{
    enum class Status { NotFound, Damaged, Loaded };

    Status status = Status::NotFound;
    // Meaningful only when Loaded; the defaults otherwise.
    WindowSettings settings;
};

// Reads the first 25 bytes of the file and never more. NotFound when there is no regular file
// by that name (a directory or other special file of that name counts as none); Damaged when
// the checksum does not match. Throws InOutError when the file exists but cannot be opened or
// read, and InOutError(ReadBeyondEnd) when it holds fewer than 25 bytes.
SettingsReadResult readSettingsFile(const QString &fileName);

// Replaces the file with the 25-byte record. The record goes to a new file in the same
// directory that is flushed to disk and renamed over the old one, so a failure at any step
// leaves the old file as it was and removes the new one; the failure is thrown as InOutError
// (a short write as DiskFull).
void writeSettingsFile(const QString &fileName, const WindowSettings &settings);
