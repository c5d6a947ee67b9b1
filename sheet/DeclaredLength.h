#pragma once

#include <QByteArrayView>

// Whether a workbook file is as long as its own structure declares, where it declares a length:
// a compound file (legacy .xls, encrypted OOXML) must fit its sectors, a ZIP package (OOXML,
// XLSB, OpenDocument) must end with its end of central directory record. A copy taken while
// the file was being written can fail this and still be read, short last sector and all, as a
// shorter or older table. Other formats declare no length and pass.
bool lengthAsDeclared(QByteArrayView bytes);
