#pragma once

#include "sheet/model/ReadScope.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

// What a workbook reader is told while it reads: how far into its input it has come, so that
// the pages of a mapped file it has gone past can be handed back, and whether the reading is
// still wanted. Readers call passed() and stillWanted() every few hundred kilobytes, and may
// leave out what lies outside the scope.
class ReadControl
{
public:
    // The bytes of the input in [from, readUpTo) are not needed again; `from` is null for all
    // of them from the input's start. A hostile file may still make a reader look back, so the
    // bytes must stay readable. Called from every thread that reads a part of the input.
    using Progress = std::function<void(const std::uint8_t *from, const std::uint8_t *readUpTo)>;

    ReadControl() = default;
    ReadControl(Progress progress, const std::atomic<bool> *cancelled, ReadScope scope = {})
        : m_progress(std::move(progress))
        , m_cancelled(cancelled)
        , m_scope(scope)
    {
    }
    explicit ReadControl(ReadScope scope)
        : m_scope(scope)
    {
    }

    // For a reader that goes through its input once, from the front.
    void passed(const std::uint8_t *readUpTo) const
    {
        if (m_progress)
            m_progress(nullptr, readUpTo);
    }
    // For one of several readers that go through parts of one input at once, each through a
    // part of its own: what it has gone past of its part, from the part's start.
    void passed(const std::uint8_t *from, const std::uint8_t *readUpTo) const
    {
        if (m_progress)
            m_progress(from, readUpTo);
    }
    bool reportsProgress() const { return bool(m_progress); }

    // Raises ReadCancelled once the reading is no longer wanted.
    void stillWanted() const;

    const ReadScope &scope() const { return m_scope; }

    // The password an encrypted workbook is tried with, for tests and tools; empty for the
    // spreadsheet programs' default one, the only one the viewer tries.
    void setPassword(QString password) { m_password = std::move(password); }
    const QString &password() const { return m_password; }

private:
    Progress m_progress;
    const std::atomic<bool> *m_cancelled = nullptr;
    ReadScope m_scope;
    QString m_password;
};

// Raised out of a reader whose reading was called off; no error of the workbook's.
class ReadCancelled
{
};
