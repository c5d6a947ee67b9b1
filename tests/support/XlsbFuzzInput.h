#pragma once

#include <cstdint>
#include <span>
#include <vector>

// The binary workbook fuzz target's input as a package: the workbook part, the shared strings
// and the first sheet, separated by "\n#part#\n", packed with fixed relationships, content
// types and styles into a ZIP whose entries are stored as they are, so that every mutation
// reaches the record parsers instead of the ZIP's checksums. Shared by the fuzz target and the
// test that replays what it found.
std::vector<std::uint8_t> xlsbFuzzPackage(std::span<const std::uint8_t> input);
