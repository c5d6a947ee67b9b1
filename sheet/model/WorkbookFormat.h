#pragma once

#include "sheet/model/ReadControl.h"

#include <cstdint>
#include <memory>
#include <span>

class Workbook;

// One workbook format: how a file of it is recognised by its content, never by its name, and
// its reader. Each format's folder defines one; the list of them decides which reads a file.
struct WorkbookFormat
{
    const char *name;
    // Whether `bytes` are meant to be a file of this format, from its first bytes or its
    // package's directory. Cheap, and raises nothing: a damaged file of the format is
    // recognised, and its reader says what is wrong with it.
    bool (*recognizes)(std::span<const std::uint8_t> bytes);
    // Reads the whole workbook. Raises WorkbookError for a file it cannot read, ReadCancelled
    // when `control` says the reading is no longer wanted.
    std::shared_ptr<Workbook> (*read)(std::span<const std::uint8_t> bytes,
                                      const ReadControl &control);
};
