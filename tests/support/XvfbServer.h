#pragma once

#include <QProcess>
#include <QString>

// A private X server for tests that need real windows. It picks its own display number, so tests
// never touch the developer's display; it stops with the object.
class XvfbServer
{
public:
    XvfbServer();
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    // Empty when the server could not be started; error() then says why.
    QString display() const { return m_display; }
    QString error() const { return m_error; }

private:
    QProcess m_process;
    QString m_display;
    QString m_error;
};
