#pragma once

#include <QString>
#include <exception>

// Base of every error the viewer raises: handlers let these travel up to the one error report,
// which shows message() to the user.
class ViewerError : public std::exception
{
public:
    explicit ViewerError(QString message);

    const QString &message() const noexcept { return m_message; }
    const char *what() const noexcept override;

private:
    QString m_message;
    QByteArray m_utf8;
};
