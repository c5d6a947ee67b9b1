#include "app/core/SettingsFile.h"

#include "platform/FileRead.h"
#include "platform/FileWrite.h"

#include <QByteArrayView>

QString settingsFileName(const QString &appDir)
{
    return appDir + QStringLiteral("Orvandel.conf");
}

SettingsReadResult readSettingsFile(const QString &fileName)
{
    std::optional<FileDescriptor> file = openRegularFile(fileName);
    if (!file)
        return {SettingsReadResult::Status::NotFound, {}};

    namespace L = WindowSettingsLayout;
    WindowSettingsRecord record{};
    readExactly(file->get(), record.data(), L::BodySize);
    readExactly(file->get(), record.data() + L::Checksum, 1);
    file->closeOrThrow();

    const std::optional<WindowSettings> settings = decodeWindowSettings(record);
    if (!settings)
        return {SettingsReadResult::Status::Damaged, {}};
    return {SettingsReadResult::Status::Loaded, *settings};
}

void writeSettingsFile(const QString &fileName, const WindowSettings &settings)
{
    namespace L = WindowSettingsLayout;
    const WindowSettingsRecord record = encodeWindowSettings(settings);
    const auto bytes = reinterpret_cast<const char *>(record.data());
    // The body, then the checksum byte.
    replaceFile(fileName,
                {QByteArrayView(bytes, L::BodySize), QByteArrayView(bytes + L::Checksum, 1)});
}
