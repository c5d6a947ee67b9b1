#include "sheet/ods/InflateAhead.h"

#include "sheet/package/ZipPackage.h"

namespace {

// Thrown through the package's read on the inflating thread once the reader has gone.
struct Abandoned
{
};

} // namespace

InflateAhead::InflateAhead(std::span<const std::uint8_t> package, std::uint64_t entry,
                           const ReadControl &control)
    : m_thread([this, package, entry, &control] { inflate(package, entry, control); })
{
}

InflateAhead::~InflateAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void InflateAhead::inflate(std::span<const std::uint8_t> package, std::uint64_t entry,
                           const ReadControl &control)
{
    std::exception_ptr error;
    try {
        const ZipPackage zip(package);
        zip.read(
            entry, [this](std::span<const char> data) { put(data); }, control);
    } catch (const Abandoned &) {
    } catch (...) {
        error = std::current_exception();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_done = true;
        m_error = error;
    }
    m_changed.notify_all();
}

void InflateAhead::put(std::span<const char> data)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_abandoned || m_ready.size() < Ahead; });
    if (m_abandoned)
        throw Abandoned();
    Piece piece;
    if (!m_spare.empty()) {
        piece = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    piece.assign(data.begin(), data.end());
    lock.lock();
    m_ready.push_back(std::move(piece));
    lock.unlock();
    m_changed.notify_all();
}

void InflateAhead::read(const std::function<void(std::span<const char>)> &consume)
{
    for (;;) {
        Piece piece;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_done || !m_ready.empty(); });
            if (m_ready.empty()) {
                if (m_error)
                    std::rethrow_exception(m_error);
                return;
            }
            piece = std::move(m_ready.front());
            m_ready.pop_front();
        }
        m_changed.notify_all();
        consume(piece);
        const std::lock_guard lock(m_mutex);
        m_spare.push_back(std::move(piece));
    }
}
