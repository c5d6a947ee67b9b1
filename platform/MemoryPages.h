#pragma once

#include <cstdint>

// Hands the whole pages that lie in [begin, end) back to the system; a partial page at either
// end stays. Read-only pages of a mapped file are read from the file again if touched once
// more; pages of anonymous memory come back zero-filled. Returns the end of what was handed
// back, or `begin` when no whole page lies in the range. A failure leaves the pages where they
// are, which costs memory and nothing else.
const std::uint8_t *releasePages(const std::uint8_t *begin, const std::uint8_t *end) noexcept;
