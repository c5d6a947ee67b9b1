#pragma once

#include "sheet/model/ReadScope.h"
#include "sheet/model/TextBuilder.h"
#include "sheet/model/Workbook.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

// The workbook operations the result import uses, over the workbook reader of this folder:
// open a file, select a worksheet, read cells as text, close. The unit owns the process-wide
// open workbook (ExcelApp) and a reference to one of its worksheets (ExcelSheet), which keeps
// that workbook alive on its own: a selected worksheet stays readable after another workbook
// is opened, until the next selection.

// Reads the whole file, in any format the reader knows, and parses it into a new workbook object,
// then releases the previous one. On failure the previous one is released as well and the error
// (InOutError for the operating system's errors, WorkbookError for the content) is raised.
void ExcelOpen(QString &fileName);
// The same, for an open on another thread that may be called off: once `*cancelled` is true
// the reading stops and ReadCancelled is raised (the previous workbook is released as well).
void ExcelOpen(QString &fileName, const std::atomic<bool> *cancelled);
// The same, for a caller that reads only the scope's worksheet and columns: the others are
// passed over (damage there does not refuse the workbook), and selecting another worksheet
// raises WorkbookError (SheetNotRead).
void ExcelOpen(QString &fileName, const std::atomic<bool> *cancelled, ReadScope scope);

// The password the workbooks opened from now on are tried with when they are encrypted, for
// tests and tools; empty (the default) for the spreadsheet programs' default password.
void excelSetPassword(QString password);

// Makes worksheet `index` (1-based, counting worksheets only) of the open workbook the one
// ExcelGetCell reads. ExcelSheet changes only when this succeeds.
void ExcelSelectSheet(std::int32_t index);

// The text of the cell at (row, column), 1-based, of the selected worksheet; empty text for a
// cell without content. "Invalid variant operation" when no worksheet has been selected.
QString ExcelGetCell(std::int32_t row, std::int32_t column);
// The same text, with the same errors, as a view instead of a new QString: of the workbook's
// own text, or of `scratch`, where numbers and dates are built. Valid until `scratch` is used
// again or the workbook is released; for readers that copy each text straight on.
QStringView excelGetCellText(std::int32_t row, std::int32_t column, TextBuilder &scratch);

// For a reader that goes down the selected worksheet row by row and never looks back: the rows
// before `row` (1-based) give their memory back and read as empty from then on.
void excelReleaseRowsBefore(std::int32_t row);

// Closes the open workbook without saving anything; ExcelApp and ExcelSheet keep what they
// hold, so a selected worksheet can still be read.
void ExcelClose();

// At exit: releases ExcelSheet, then ExcelApp.
void excelRelease();

// What the unit holds, for tests and tools that watch object lifetimes.
std::shared_ptr<const Workbook> excelAppWorkbook();
std::shared_ptr<const Workbook> excelSheetWorkbook();
