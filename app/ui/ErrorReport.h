#pragma once

#include <QSet>
#include <QString>
#include <functional>

// The one place where errors that leave a handler end up: a modal box with the error icon.
// A box for a message that is already on screen is not opened again, so an error that repeats
// on every timer tick while the user is away does not pile up boxes.
class ErrorReport
{
public:
    // Shows `text` modally under `title` and returns when the user has closed it.
    using Presenter = std::function<void(const QString &title, const QString &text)>;

    explicit ErrorReport(QString title, Presenter presenter = {});

    void report(const QString &message);

    // Runs `handler` and reports whatever it raises; nothing escapes into the event loop.
    // `noted`, when given, learns the message before the box opens (the box waits for the user).
    void guard(const std::function<void()> &handler,
               const std::function<void(const QString &)> &noted = {});

    bool isShowing(const QString &message) const;
    static void showMessageBox(const QString &title, const QString &text);

private:
    QString m_title;
    Presenter m_presenter;
    QSet<QString> m_open;
};
