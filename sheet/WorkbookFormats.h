#pragma once

#include "sheet/model/ReadControl.h"

#include <QByteArrayView>
#include <cstdint>
#include <memory>
#include <span>

class Workbook;

// Reads a workbook of any format the viewer knows, recognised by its content: the first
// format that recognises the bytes reads them. "The file is not an Excel workbook" when none
// does.
std::shared_ptr<Workbook> readWorkbook(std::span<const std::uint8_t> bytes,
                                       const ReadControl &control = {});
// The same for bytes held by Qt.
std::shared_ptr<Workbook> readWorkbook(QByteArrayView bytes, const ReadControl &control = {});
