#include "sheet/ooxml/OoxmlFormat.h"

#include "sheet/ooxml/OoxmlReader.h"

namespace {

std::shared_ptr<Workbook> readBytes(std::span<const std::uint8_t> bytes, const ReadControl &control)
{
    return OoxmlReader::read(bytes, control);
}

} // namespace

const WorkbookFormat OoxmlFormat{"OOXML", OoxmlReader::recognizes, readBytes};
