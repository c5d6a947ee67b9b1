#pragma once

#include <cstdint>
#include <span>

// Whether a ZIP file ends where its end of central directory record says it does: the record,
// and the comment whose length it gives, are the last bytes of the file, and the central
// directory it points to lies before it. A copy of a package taken while it was being written
// is cut short before its record, which every ZIP writer puts last.
bool zipEndsWithDirectory(std::span<const std::uint8_t> bytes);
