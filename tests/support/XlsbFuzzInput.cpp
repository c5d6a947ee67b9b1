#include "tests/support/XlsbFuzzInput.h"

#include <cstdlib>
#include <string_view>
#include <zip.h>

namespace {

constexpr std::string_view Separator = "\n#part#\n";

constexpr std::string_view ContentTypes =
    R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Override PartName="/xl/workbook.bin" ContentType="application/vnd.ms-excel.sheet.binary.macroEnabled.main"/></Types>)";
constexpr std::string_view PackageRelationships =
    R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.bin"/></Relationships>)";
constexpr std::string_view WorkbookRelationships =
    R"(<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.bin"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.bin"/><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.bin"/></Relationships>)";
// Cell XFs 0 (General) and 1 (format 164, "d/m/yy").
constexpr unsigned char Styles[] = {
    0x96, 0x02, 0x00, 0xE7, 0x04, 0x04, 0x01, 0x00, 0x00, 0x00, 0x2C, 0x12, 0xA4, 0x00, 0x06, 0x00,
    0x00, 0x00, 'd',  0,    '/',  0,    'm',  0,    '/',  0,    'y',  0,    'y',  0,    0xE8, 0x04,
    0x00, 0xE9, 0x04, 0x04, 0x02, 0x00, 0x00, 0x00, 0x2F, 0x10, 0x00, 0x00, 0x00, 0x00, 0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0x2F, 0x10, 0x00, 0x00, 0xA4, 0x00,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0xEA, 0x04, 0x00};

struct Part
{
    const char *name;
    std::string_view bytes;
};

std::vector<std::uint8_t> package(const std::vector<Part> &parts)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(buffer);
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!archive)
        std::abort();
    for (const Part &part : parts) {
        zip_source_t *source = zip_source_buffer(archive, part.bytes.data(), part.bytes.size(), 0);
        const zip_int64_t index = zip_file_add(archive, part.name, source, ZIP_FL_OVERWRITE);
        if (index < 0 || zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_STORE, 0))
            std::abort();
    }
    if (zip_close(archive) != 0 || zip_source_open(buffer) != 0)
        std::abort();
    zip_source_seek(buffer, 0, SEEK_END);
    std::vector<std::uint8_t> bytes(std::size_t(zip_source_tell(buffer)));
    zip_source_seek(buffer, 0, SEEK_SET);
    if (zip_source_read(buffer, bytes.data(), bytes.size()) != zip_int64_t(bytes.size()))
        std::abort();
    zip_source_close(buffer);
    zip_source_free(buffer);
    zip_error_fini(&error);
    return bytes;
}

} // namespace

std::vector<std::uint8_t> xlsbFuzzPackage(std::span<const std::uint8_t> bytes)
{
    std::string_view input(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    std::string_view pieces[3];
    for (std::string_view &piece : pieces) {
        const std::size_t end = input.find(Separator);
        piece = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view()
                                              : input.substr(end + Separator.size());
    }
    return package({
        {"[Content_Types].xml", ContentTypes},
        {"_rels/.rels", PackageRelationships},
        {"xl/_rels/workbook.bin.rels", WorkbookRelationships},
        {"xl/styles.bin", {reinterpret_cast<const char *>(Styles), sizeof Styles}},
        {"xl/workbook.bin", pieces[0]},
        {"xl/sharedStrings.bin", pieces[1]},
        {"xl/worksheets/sheet1.bin", pieces[2]},
    });
}
