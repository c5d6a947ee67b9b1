#include "sheet/package/InflateAhead.h"

#include "sheet/package/ZipPackage.h"

namespace {

// Pieces handed over at a time, and how many may wait: a handover costs a lock and a wake-up,
// so it carries a megabyte, and four of them keep the parser fed without holding much.
constexpr std::size_t HandoverBytes = std::size_t(1) << 20;
constexpr std::size_t MostWaiting = 4;

struct Stopped
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
        m_stopped = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void InflateAhead::publish(std::vector<char> &piece)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stopped || m_ready.size() < MostWaiting; });
    if (m_stopped)
        throw Stopped();
    m_ready.push_back(std::move(piece));
    if (!m_free.empty()) {
        piece = std::move(m_free.back());
        m_free.pop_back();
    } else {
        piece = std::vector<char>();
        piece.reserve(HandoverBytes + (std::size_t(256) << 10));
    }
    lock.unlock();
    m_changed.notify_all();
}

void InflateAhead::inflate(std::span<const std::uint8_t> package, std::uint64_t entry,
                           const ReadControl &control)
{
    try {
        const ZipPackage own(package);
        std::vector<char> piece;
        piece.reserve(HandoverBytes + (std::size_t(256) << 10));
        own.read(
            entry,
            [this, &piece](std::span<const char> inflated) {
                piece.insert(piece.end(), inflated.begin(), inflated.end());
                if (piece.size() >= HandoverBytes)
                    publish(piece);
            },
            control);
        if (!piece.empty())
            publish(piece);
    } catch (const Stopped &) {
    } catch (...) {
        const std::lock_guard lock(m_mutex);
        m_error = std::current_exception();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
}

void InflateAhead::read(const std::function<void(std::span<const char>)> &consume)
{
    for (;;) {
        std::vector<char> piece;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_ready.empty() || m_finished; });
            if (m_ready.empty()) {
                if (m_error)
                    std::rethrow_exception(m_error);
                return;
            }
            piece = std::move(m_ready.front());
            m_ready.pop_front();
        }
        m_changed.notify_all();
        consume(std::span<const char>(piece.data(), piece.size()));
        piece.clear();
        const std::lock_guard lock(m_mutex);
        m_free.push_back(std::move(piece));
    }
}
