#include "platform/RemovedOnSignal.h"

#include <QFile>
#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace {

// Fixed storage, since a signal handler may neither allocate nor lock. A slot is Free, being
// Filled by its owner, or Ready for a handler to read.
enum SlotState : int { Free, Filling, Ready };

struct Slot
{
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};

std::array<Slot, 8> g_slots;

} // namespace

RemovedOnSignal::RemovedOnSignal(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.size() >= PATH_MAX)
        return;
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        int expected = Free;
        if (!g_slots[i].state.compare_exchange_strong(expected, Filling))
            continue;
        std::memcpy(g_slots[i].path, name.constData(), std::size_t(name.size()) + 1);
        g_slots[i].state.store(Ready, std::memory_order_release);
        m_slot = int(i);
        return;
    }
}

RemovedOnSignal::~RemovedOnSignal()
{
    if (m_slot >= 0)
        g_slots[std::size_t(m_slot)].state.store(Free, std::memory_order_release);
}

void RemovedOnSignal::removeAll() noexcept
{
    for (Slot &slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == Ready)
            ::unlink(slot.path);
    }
}
