#include "platform/PrivateDirectory.h"

#include "platform/ApplicationDirectory.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace PrivateDirectory {

namespace {

QString withSlash(QString directory)
{
    while (directory.endsWith(u'/'))
        directory.chop(1);
    return directory + u'/';
}

// A real directory (no symbolic link) of this user's that nobody else may enter.
bool isOwnPrivateDirectory(const QString &directory)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(directory).constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

QString inRuntimeDirectory(const QString &runtimeDir)
{
    if (!runtimeDir.startsWith(u'/') || !isOwnPrivateDirectory(runtimeDir))
        return {};
    const QString directory = withSlash(runtimeDir) + QStringLiteral("Orvandel");
    ::mkdir(QFile::encodeName(directory).constData(), 0700);
    if (!isOwnPrivateDirectory(directory) || !ApplicationDirectory::canCreateFilesIn(directory))
        return {};
    return directory + u'/';
}

QString newUnder(const QString &tempDir)
{
    QByteArray pattern = QFile::encodeName(withSlash(tempDir) + QStringLiteral("orvandel-XXXXXX"));
    // mkdtemp makes the directory with mode 0700.
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return QFile::decodeName(pattern) + u'/';
}

// The directory made for this process, removed at its normal end.
struct MadeForProcess
{
    QString path;
    bool madeNew = false;

    ~MadeForProcess()
    {
        if (madeNew)
            QDir(path).removeRecursively();
    }
};

} // namespace

QString choose(const QString &appDir, const QString &runtimeDir, const QString &tempDir,
               bool &madeNew)
{
    madeNew = false;
    if (ApplicationDirectory::canCreateFilesIn(appDir))
        return appDir;
    if (const QString runtime = inRuntimeDirectory(runtimeDir); !runtime.isEmpty())
        return runtime;
    const QString made = newUnder(tempDir);
    madeNew = !made.isEmpty();
    return made;
}

QString forProcess(const QString &appDir)
{
    static MadeForProcess chosen;
    static const bool once = [&] {
        const char *runtime = std::getenv("XDG_RUNTIME_DIR");
        chosen.path = choose(appDir, runtime ? QFile::decodeName(runtime) : QString(),
                             QDir::tempPath(), chosen.madeNew);
        return true;
    }();
    Q_UNUSED(once);
    return chosen.path.isEmpty() ? appDir : chosen.path;
}

} // namespace PrivateDirectory
