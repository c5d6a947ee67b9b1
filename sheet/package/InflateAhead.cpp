#include "sheet/package/InflateAhead.h"

#include "sheet/package/ZipPackage.h"

namespace {

// Pieces handed over at a time, and how many may wait: a handover costs a lock and a wake-up,
// so it carries a megabyte, and four of them keep the parser fed without holding much.
constexpr std::size_t HandoverBytes = std::size_t(1) << 20;
constexpr std::size_t MostWaiting = 4;
// A piece's room: a handover and what one inflating step may add past it.
constexpr std::size_t PieceBytes = HandoverBytes + (std::size_t(256) << 10);

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

// Fills the pieces in turn, each up to a handover and a little over it.
class InflateAhead::PieceFiller final : public ZipPackage::Sink
{
public:
    explicit PieceFiller(InflateAhead &owner)
        : m_owner(owner)
    {
        m_owner.takeFree(m_piece);
    }

    std::span<char> space() override
    {
        return {m_piece.bytes.get() + m_piece.size, PieceBytes - m_piece.size};
    }
    void filled(std::size_t bytes) override
    {
        m_piece.size += bytes;
        if (m_piece.size >= HandoverBytes)
            m_owner.publish(m_piece);
    }
    void finish()
    {
        if (m_piece.size > 0)
            m_owner.publish(m_piece);
    }

private:
    InflateAhead &m_owner;
    Piece m_piece;
};

void InflateAhead::takeFree(Piece &piece)
{
    // Called with the lock held, or before the reader can see the piece.
    if (!m_free.empty()) {
        piece = std::move(m_free.back());
        m_free.pop_back();
    } else {
        piece.bytes = std::make_unique_for_overwrite<char[]>(PieceBytes);
    }
    piece.size = 0;
}

void InflateAhead::publish(Piece &piece)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stopped || m_ready.size() < MostWaiting; });
    if (m_stopped)
        throw Stopped();
    m_ready.push_back(std::move(piece));
    takeFree(piece);
    lock.unlock();
    m_changed.notify_all();
}

void InflateAhead::inflate(std::span<const std::uint8_t> package, std::uint64_t entry,
                           const ReadControl &control)
{
    try {
        const ZipPackage own(package);
        std::unique_lock lock(m_mutex);
        PieceFiller filler(*this);
        lock.unlock();
        own.read(entry, filler, control);
        filler.finish();
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
        Piece piece;
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
        consume(std::span<const char>(piece.bytes.get(), piece.size));
        const std::lock_guard lock(m_mutex);
        m_free.push_back(std::move(piece));
    }
}
