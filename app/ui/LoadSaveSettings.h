#pragma once

#include <QString>
#include <functional>

class QSpinBox;
class WindowPlacement;

// Reads "Orvandel.conf" from `appDir` and applies it: the window's geometry and state through
// `placement`, then the interval through `spinUpdate`, whose bounds clamp it. A missing or
// damaged file leaves everything as it is and passes the matching notice to `notice` (at most
// one call). Throws InOutError when the file exists but cannot be read in full.
void LoadSettings(WindowPlacement &placement, QSpinBox &spinUpdate, const QString &appDir,
                  const std::function<void(const QString &)> &notice);

// Writes the window's placement and the interval into "Orvandel.conf" in `appDir`. Throws
// InOutError on failure, the previous file intact.
void SaveSettings(const WindowPlacement &placement, const QSpinBox &spinUpdate,
                  const QString &appDir);
