#pragma once

#include "platform/LargePages.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// A fixed number of plain values whose all-zero bytes are their blank state, for the big arrays
// that are filled front to back after they are made: a value-initialised vector writes every
// byte at once, so the whole array is resident before the first value is set; here a page
// becomes resident only when a value on it is first written.
template<typename T>
class ZeroedArray
{
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    ZeroedArray() = default;
    // Raises std::bad_alloc when there is no memory.
    explicit ZeroedArray(std::size_t count)
        : m_values(allocate(count))
        , m_count(count)
    {
    }
    ZeroedArray(ZeroedArray &&other) noexcept
        : m_values(std::exchange(other.m_values, nullptr))
        , m_count(std::exchange(other.m_count, 0))
    {
    }
    ZeroedArray &operator=(ZeroedArray &&other) noexcept
    {
        ZeroedArray taken(std::move(other));
        std::swap(m_values, taken.m_values);
        std::swap(m_count, taken.m_count);
        return *this;
    }
    ZeroedArray(const ZeroedArray &) = delete;
    ZeroedArray &operator=(const ZeroedArray &) = delete;
    ~ZeroedArray() { freeLarge(m_values, m_count * sizeof(T)); }

    std::size_t size() const noexcept { return m_count; }
    bool empty() const noexcept { return m_count == 0; }
    T *data() noexcept { return m_values; }
    const T *data() const noexcept { return m_values; }
    T &operator[](std::size_t i) noexcept { return m_values[i]; }
    const T &operator[](std::size_t i) const noexcept { return m_values[i]; }
    T *begin() noexcept { return m_values; }
    T *end() noexcept { return m_values + m_count; }
    const T *begin() const noexcept { return m_values; }
    const T *end() const noexcept { return m_values + m_count; }

    // A new block of `count` values: those that stay keep theirs, new ones are blank. The old
    // block goes back whole, also when the array shrinks.
    void resize(std::size_t count)
    {
        if (count == m_count)
            return;
        ZeroedArray resized(count);
        if (const std::size_t kept = std::min(count, m_count))
            std::memcpy(static_cast<void *>(resized.m_values), m_values, kept * sizeof(T));
        *this = std::move(resized);
    }
    void clear() noexcept { *this = ZeroedArray(); }

private:
    static T *allocate(std::size_t count)
    {
        if (count > std::size_t(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T *>(allocateLargeZeroed(count * sizeof(T)));
    }

    T *m_values = nullptr;
    std::size_t m_count = 0;
};
