#pragma once

#include <QString>

// Where the files only this process uses (the private copy of the workbook, the settings file)
// go when the application directory cannot take them: a user whose home directory does not
// exist, or cannot be written, still gets a place that no other user can read.
namespace PrivateDirectory {

// `appDir` (ending in "/") when this process may create files there. Otherwise "Orvandel/" in
// `runtimeDir`, made when missing, provided `runtimeDir` is an absolute directory of this user's
// that only this user may enter (what XDG_RUNTIME_DIR names). Otherwise a new directory made by
// this call under `tempDir`, mode 0700, and `madeNew` is set. Empty when none could be had: the
// files then fail to be created in `appDir`, with the error that says why.
QString choose(const QString &appDir, const QString &runtimeDir, const QString &tempDir,
               bool &madeNew);

// The same for this process, with XDG_RUNTIME_DIR and the system's temporary directory
// (TMPDIR, else /tmp). Chosen once per process; a directory made under the temporary
// directory is removed with what it holds when the process exits normally.
QString forProcess(const QString &appDir);

} // namespace PrivateDirectory
