#pragma once

#include <cstdint>
#include <span>

// Whether a compound file is as long as its own header and allocation table say: a whole
// number of sectors, room for the sectors its header counts, and every sector the allocation
// table marks as used inside the file. A copy of a compound file taken while it was being
// written, cut short at any sector boundary, fails this. A header that is damaged rather than
// cut short (a wrong byte order mark or sector size) declares nothing and passes: reading it
// says what is wrong.
bool compoundFileLengthFits(std::span<const std::uint8_t> data);
