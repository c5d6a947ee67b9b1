#pragma once

#include <cstdint>

// Which character separates the fields of delimited text, judged by its first records (quoted
// fields, line ends inside them included, are one field each): a tab when the first record
// holds one; otherwise semicolon or comma, whichever splits the first
// records (up to 20 of them, blank lines left out) into the same number of fields, more than
// one. When both do, semicolon: it is the list separator where comma is the decimal separator,
// and numbers with decimal commas split evenly at their commas too. When neither does, the one
// that splits the first record into more fields; semicolon again on a tie.
template<typename Unit>
Unit guessDelimiter(const Unit *begin, const Unit *end);

extern template std::uint8_t guessDelimiter(const std::uint8_t *, const std::uint8_t *);
extern template char16_t guessDelimiter(const char16_t *, const char16_t *);
