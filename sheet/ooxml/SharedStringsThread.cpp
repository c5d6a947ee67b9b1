#include "sheet/ooxml/SharedStringsThread.h"

#include "sheet/ooxml/PackagePart.h"
#include "sheet/ooxml/SharedStringsReader.h"
#include "sheet/package/ZipPackage.h"

#include <algorithm>

namespace {

// Raised through the reading of a part that is no longer wanted because the other one failed.
struct Abandoned
{
};

} // namespace

void readSharedStrings(const ZipPackage &package, std::uint64_t entry, const std::string &part,
                       StringTable &strings, const ReadControl &control, bool fastScanner,
                       const std::function<void()> &goOn)
{
    // A text has no more characters than its XML has bytes: room for all of them at once
    // saves copying the table as it grows. Untouched, the room costs no memory.
    strings.reserve(
        0, std::size_t(std::min(package.inflatedSize(entry), package.inflateLimit(entry))));
    SharedStringsReader reader(strings);
    if (fastScanner)
        PackagePart::parseFast(
            package, entry, part, reader, [&reader] { reader.restart(); }, control, goOn);
    else
        PackagePart::parseWithExpat(package, entry, part, reader, control);
}

SharedStringsThread::SharedStringsThread(std::span<const std::uint8_t> package, std::uint64_t entry,
                                         std::string part, StringTable &strings,
                                         const ReadControl &control, bool fastScanner)
    : m_thread([=, this, &strings, &control] {
        run(package, entry, part, strings, control, fastScanner);
    })
{
}

SharedStringsThread::~SharedStringsThread()
{
    m_abandoned = true;
    if (m_thread.joinable())
        m_thread.join();
}

void SharedStringsThread::run(std::span<const std::uint8_t> package, std::uint64_t entry,
                              const std::string &part, StringTable &strings,
                              const ReadControl &control, bool fastScanner)
{
    try {
        const ZipPackage own(package);
        readSharedStrings(own, entry, part, strings, control, fastScanner, [this] {
            if (m_abandoned.load(std::memory_order_relaxed))
                throw Abandoned();
        });
    } catch (const Abandoned &) {
    } catch (...) {
        m_error = std::current_exception();
        m_failed = true;
    }
}

void SharedStringsThread::wait()
{
    m_thread.join();
    if (m_error)
        std::rethrow_exception(m_error);
}

void SharedStringsThread::checkStillGood() const
{
    // The error is set before the flag, and no longer touched by the thread after it.
    if (m_failed.load())
        std::rethrow_exception(m_error);
}
