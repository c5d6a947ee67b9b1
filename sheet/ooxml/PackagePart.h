#pragma once

#include "sheet/model/ReadControl.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

class XmlHandler;
class ZipPackage;

// Reading one XML part of a package, inflated as it is parsed: never held whole.
namespace PackagePart {

// With expat, for the parts that describe the workbook.
void ParseWithExpat(const ZipPackage &package, std::uint64_t entry, const std::string &name,
                    XmlHandler &handler, const ReadControl &control = {});

// With FastXmlScanner, and again with expat after `restart` when the part needs it: for the
// big parts that hold cells and their texts. `goOn` is asked before each piece of the part
// (a reader on another thread may have failed meanwhile) and stops the reading by raising.
void ParseFast(const ZipPackage &package, std::uint64_t entry, const std::string &name,
               XmlHandler &handler, const std::function<void()> &restart,
               const ReadControl &control, const std::function<void()> &goOn = {});

} // namespace PackagePart
