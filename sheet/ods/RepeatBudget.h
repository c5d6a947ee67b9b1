#pragma once

#include <cstdint>

// How much a workbook's repeat counts may still write out: cells that repeated cells and rows
// add beyond the one each element stands for, and spaces that space elements add. A real
// workbook stays far below it; a small hostile file that asks for billions of cells is
// refused before it takes the memory.
class RepeatBudget
{
public:
    // 16 Mi units: 256 MiB of cells at the most.
    static constexpr std::uint64_t Default = std::uint64_t(1) << 24;

    explicit RepeatBudget(std::uint64_t units = Default)
        : m_left(units)
    {
    }

    // Raises WorkbookError (Damaged) once more than the budget has been spent.
    void spend(std::uint64_t units);

private:
    std::uint64_t m_left;
};
