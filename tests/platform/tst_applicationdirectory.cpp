#include "platform/ApplicationDirectory.h"
#include "tests/support/PermissionsApply.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

// Where the files go: beside a program the user can write beside, in the user's own directory
// for an installed one.
class TestApplicationDirectory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void writableDirectoryIsKept();
    void readOnlyDirectoryGoesToTheUsersDirectory_data();
    void readOnlyDirectoryGoesToTheUsersDirectory();
    void systemDirectoryIsNeverWritten();

private:
    static int modeOf(const QString &path);

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_programs; // read-only for everyone
    QString m_home;
};

int TestApplicationDirectory::modeOf(const QString &path)
{
    struct stat status
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                     : -1;
}

void TestApplicationDirectory::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    // Reachable by "nobody", whom root becomes to see permissions work.
    QVERIFY(::chmod(QFile::encodeName(m_root->path()).constData(), 0755) == 0);
    m_programs = m_root->path() + QStringLiteral("/bin/");
    m_home = m_root->path() + QStringLiteral("/home");
    QVERIFY(QDir().mkpath(m_programs) && QDir().mkpath(m_home));
    QVERIFY(::chmod(QFile::encodeName(m_programs).constData(), 0555) == 0);
    QVERIFY(::chmod(QFile::encodeName(m_home).constData(), 0777) == 0);
}

void TestApplicationDirectory::writableDirectoryIsKept()
{
    const QString programs = m_root->path() + u'/';
    QCOMPARE(ApplicationDirectory::resolve(programs, {}, m_home), programs);
    QVERIFY(!QFileInfo::exists(m_home + QStringLiteral("/.local")));
    // A program path without a directory: the current one, writable here.
    QDir::setCurrent(m_root->path());
    QCOMPARE(ApplicationDirectory::resolve(QString(), {}, m_home), QString());
}

void TestApplicationDirectory::readOnlyDirectoryGoesToTheUsersDirectory_data()
{
    QTest::addColumn<QString>("dataHome");
    QTest::addColumn<QString>("expected"); // under the temporary root
    QTest::newRow("default") << QString() << QStringLiteral("/home/.local/share/Orvandel/");
    QTest::newRow("relative XDG_DATA_HOME")
        << QStringLiteral("data") << QStringLiteral("/home/.local/share/Orvandel/");
    QTest::newRow("XDG_DATA_HOME")
        << QStringLiteral("/home/my data//") << QStringLiteral("/home/my data/Orvandel/");
}

void TestApplicationDirectory::readOnlyDirectoryGoesToTheUsersDirectory()
{
    QFETCH(QString, dataHome);
    QFETCH(QString, expected);
    if (dataHome.startsWith(u'/'))
        dataHome.prepend(m_root->path());
    expected.prepend(m_root->path());

    const PermissionsApply asUser;
    QVERIFY(!ApplicationDirectory::canCreateFilesIn(m_programs));
    QCOMPARE(ApplicationDirectory::resolve(m_programs, dataHome, m_home), expected);
    // Made with its parents, private to the user; the next start finds it as it is.
    QCOMPARE(modeOf(expected), 0700);
    if (!dataHome.startsWith(u'/'))
        QCOMPARE(modeOf(m_home + QStringLiteral("/.local")), 0700);
    QCOMPARE(ApplicationDirectory::resolve(m_programs, dataHome, m_home), expected);
    QVERIFY(ApplicationDirectory::canCreateFilesIn(expected));
}

void TestApplicationDirectory::systemDirectoryIsNeverWritten()
{
    // Whoever runs it, root included; a directory that exists keeps its mode.
    const QString data = m_home + QStringLiteral("/data");
    QVERIFY(QDir().mkpath(data + QStringLiteral("/Orvandel")));
    QVERIFY(::chmod(QFile::encodeName(data + QStringLiteral("/Orvandel")).constData(), 0750) == 0);
    QCOMPARE(ApplicationDirectory::resolve(QStringLiteral("/usr/bin/"), data, m_home),
             data + QStringLiteral("/Orvandel/"));
    QCOMPARE(modeOf(data + QStringLiteral("/Orvandel")), 0750);
}

QTEST_GUILESS_MAIN(TestApplicationDirectory)
#include "tst_applicationdirectory.moc"
