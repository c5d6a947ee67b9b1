#include "app/ui/LoadSaveSettings.h"

#include "app/core/SettingsFile.h"
#include "app/ui/WindowPlacement.h"

#include <QSpinBox>

void LoadSettings(WindowPlacement &placement, QSpinBox &spinUpdate, const QString &appDir,
                  const std::function<void(const QString &)> &notice)
{
    const SettingsReadResult read = readSettingsFile(settingsFileName(appDir));
    switch (read.status) {
    case SettingsReadResult::Status::NotFound:
        notice(SettingsNotFoundNotice.toString());
        return;
    case SettingsReadResult::Status::Damaged:
        notice(SettingsDamagedNotice.toString());
        return;
    case SettingsReadResult::Status::Loaded:
        break;
    }
    placement.apply(read.settings);
    spinUpdate.setValue(read.settings.Interval);
}

void SaveSettings(const WindowPlacement &placement, const QSpinBox &spinUpdate,
                  const QString &appDir)
{
    WindowSettings settings;
    placement.readInto(settings);
    settings.Interval = spinUpdate.value();
    writeSettingsFile(settingsFileName(appDir), settings);
}
