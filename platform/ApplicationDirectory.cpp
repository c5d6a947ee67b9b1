#include "platform/ApplicationDirectory.h"

#include <QFile>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ApplicationDirectory {

namespace {

// The file system's own directories, which a package installs into and nothing writes to
// while running.
bool isSystemDirectory(const QString &directory)
{
    return directory.startsWith(QStringLiteral("/usr/"));
}

// Creates `directory` and the parents it lacks, each readable by the user only. Directories
// that exist keep their modes.
void makeUserDirectory(const QString &directory)
{
    const QByteArray path = QFile::encodeName(directory);
    for (qsizetype slash = path.indexOf('/', 1); slash >= 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0700);
    ::mkdir(path.constData(), 0700);
}

QString homeOfUser()
{
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? std::size_t(hint) : 16384);
    passwd entry{};
    passwd *found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QFile::decodeName(found->pw_dir);
}

QString environmentValue(const char *name)
{
    const char *value = std::getenv(name);
    return value ? QFile::decodeName(value) : QString();
}

} // namespace

bool canCreateFilesIn(const QString &directory)
{
    const QByteArray path =
        directory.isEmpty() ? QByteArrayLiteral(".") : QFile::encodeName(directory);
    // AT_EACCESS: the effective ids decide, as they do when the file is created.
    return ::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QString resolve(const QString &executableDir, const QString &dataHome, const QString &home)
{
    if (!isSystemDirectory(executableDir) && canCreateFilesIn(executableDir))
        return executableDir;
    QString base = dataHome;
    if (!base.startsWith(u'/'))
        base = home + QStringLiteral("/.local/share");
    while (base.endsWith(u'/'))
        base.chop(1);
    const QString directory = base + QStringLiteral("/Orvandel");
    makeUserDirectory(directory);
    return directory + u'/';
}

QString resolve(const QString &executableDir)
{
    QString home = environmentValue("HOME");
    if (home.isEmpty())
        home = homeOfUser();
    return resolve(executableDir, environmentValue("XDG_DATA_HOME"), home);
}

} // namespace ApplicationDirectory
