#include "tests/support/XvfbServer.h"

#include <QStandardPaths>

XvfbServer::XvfbServer()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        m_error = QStringLiteral("Xvfb is not installed");
        return;
    }
    // -displayfd: the server chooses a free display and writes its number once it accepts
    // connections, which is exactly the moment the test may start.
    m_process.start(program,
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                     QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                     QStringLiteral("1280x1024x24")});
    if (!m_process.waitForStarted(5000)) {
        m_error = QStringLiteral("Xvfb did not start: %1").arg(m_process.errorString());
        return;
    }
    QByteArray number;
    while (!number.contains('\n') && m_process.waitForReadyRead(10000))
        number += m_process.readAllStandardOutput();
    number = number.trimmed();
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb gave no display: %1")
                      .arg(QString::fromLocal8Bit(m_process.readAllStandardError()));
        return;
    }
    m_display = u':' + QString::fromLatin1(number);
}

XvfbServer::~XvfbServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
}
