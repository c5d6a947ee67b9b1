#include "sheet/ooxml/OoxmlReader.h"

#include "sheet/model/Workbook.h"
#include "sheet/model/WorkbookError.h"
#include "sheet/ooxml/OoxmlNames.h"
#include "sheet/ooxml/PackageContentTypes.h"
#include "sheet/ooxml/PackagePart.h"
#include "sheet/ooxml/PackageRelationships.h"
#include "sheet/ooxml/SharedStringsThread.h"
#include "sheet/ooxml/StylesReader.h"
#include "sheet/ooxml/WorkbookPartReader.h"
#include "sheet/ooxml/WorksheetReader.h"
#include "sheet/package/ZipPackage.h"

#include <QString>
#include <optional>

namespace {

// Fewer bytes of XML than a cell takes at the least: enough room for the cells of a part.
constexpr std::uint64_t SmallestCellBytes = 32;

struct SheetPart
{
    QString name;
    std::string part;
};

std::uint64_t RequiredEntry(const ZipPackage &package, const std::string &part)
{
    const std::optional<std::uint64_t> entry = package.find(part);
    if (!entry)
        throw WorkbookError::damaged(
            QStringLiteral("its part %1 is missing").arg(QString::fromStdString(part)));
    return *entry;
}

// The workbook part the package's relationships lead to, when its content type is
// SpreadsheetML's.
std::string WorkbookPart(const ZipPackage &package)
{
    const PackageRelationships relationships = PackageRelationships::read(package, "");
    const PackageRelationships::Relationship *office = relationships.firstOfKind("officeDocument");
    const PackageContentTypes types = PackageContentTypes::read(package);
    if (!office || office->target.empty()) {
        if (!types.namesWorkbook())
            throw WorkbookError::notWorkbook();
        throw WorkbookError::damaged(
            QStringLiteral("its package relationships name no workbook part"));
    }
    if (!PackageContentTypes::isWorkbookType(types.of(office->target)))
        throw WorkbookError::notWorkbook();
    return office->target;
}

// Each worksheet's part, as the relationships name it; whether it is in the package is asked
// only of the sheets read.
std::vector<SheetPart> WorksheetParts(const std::vector<WorkbookPartReader::Sheet> &sheets,
                                      const PackageRelationships &relationships)
{
    std::vector<SheetPart> parts;
    for (const WorkbookPartReader::Sheet &sheet : sheets) {
        const PackageRelationships::Relationship *relationship =
            relationships.byId(sheet.relationshipId);
        if (!relationship || relationship->target.empty())
            throw WorkbookError::damaged(
                QStringLiteral("its sheet \"%1\" has no part").arg(sheet.name));
        // Chart sheets, dialog sheets and macro sheets are no worksheets.
        if (!OoxmlNames::IsRelationshipType(relationship->type, "worksheet"))
            continue;
        parts.push_back({sheet.name, relationship->target});
    }
    return parts;
}

void ReadWorksheet(const ZipPackage &package, const SheetPart &part, Worksheet &sheet,
                   StringTable &ownTexts, bool date1904, const ReadControl &control,
                   const OoxmlReader::Options &options, const std::function<void()> &goOn)
{
    const std::uint64_t entry = RequiredEntry(package, part.part);
    const std::uint64_t size = std::min(package.inflatedSize(entry), package.inflateLimit(entry));
    sheet.reserve(std::size_t(size / SmallestCellBytes));
    WorksheetReader reader(sheet, ownTexts, date1904, QString::fromStdString(part.part));
    const auto restart = [&reader] {
        reader.restart();
    };
    // Inflated on this thread: with the shared strings on the other core, a third thread
    // inflating ahead cost more than it saved (bench/README.md, "InflateAhead").
    if (options.fastScanner)
        PackagePart::ParseFast(package, entry, part.part, reader, restart, control, goOn);
    else
        PackagePart::ParseWithExpat(package, entry, part.part, reader, control);
}

// A worksheet being read and the texts of its own (inline strings, formula results): they
// are numbered apart while the shared strings are still being read on their thread, and
// joined to them only once that thread is done.
struct SheetBeingRead
{
    Worksheet *sheet;
    StringTable ownTexts;
};

// Puts each sheet's own texts after the finished shared strings and gives their cells the
// joined numbers; a cell that names a shared string the table does not have makes the workbook
// damaged.
void JoinTexts(StringTable &strings, std::vector<SheetBeingRead> &sheets)
{
    const std::size_t shared = strings.size();
    for (SheetBeingRead &being : sheets) {
        Worksheet &sheet = *being.sheet;
        StringTable &own = being.ownTexts;
        const std::size_t base = strings.size();
        for (std::size_t i = 0; i < sheet.cellCount(); ++i) {
            Worksheet::Cell &cell = sheet.addedCell(i);
            if (cell.kind != Worksheet::Kind::Text)
                continue;
            if (cell.text & WorksheetReader::OwnText)
                cell.text = std::uint32_t(base + (cell.text & ~WorksheetReader::OwnText));
            else if (cell.text >= shared)
                throw WorkbookError::damaged(
                    QStringLiteral("its sheet \"%1\" names shared string %2 of %3")
                        .arg(sheet.name())
                        .arg(cell.text)
                        .arg(shared));
        }
        if (strings.size() == 0) {
            strings = std::move(own); // a workbook of inline strings only: nothing to copy
            continue;
        }
        for (std::uint32_t i = 0; i < own.size(); ++i) {
            const QStringView chars = own.chars(own.place(i));
            strings.buffer().insert(strings.buffer().end(), chars.utf16(),
                                    chars.utf16() + chars.size());
            strings.finish();
        }
        own = StringTable();
    }
}

// Whether the first local file header of a ZIP file names a part OOXML packages begin with.
bool StartsLikeOoxml(std::span<const std::uint8_t> bytes)
{
    constexpr std::size_t NameAt = 30;
    if (bytes.size() < NameAt)
        return false;
    const std::size_t length = std::size_t(bytes[26]) | std::size_t(bytes[27]) << 8;
    if (bytes.size() < NameAt + length)
        return false;
    const std::string_view name(reinterpret_cast<const char *>(bytes.data() + NameAt), length);
    return name == "[Content_Types].xml" || name.starts_with("_rels/") || name.starts_with("xl/") ||
           name.starts_with("docProps/");
}

} // namespace

bool OoxmlReader::recognizes(std::span<const std::uint8_t> bytes)
{
    if (!ZipPackage::hasSignature(bytes))
        return false;
    try {
        const ZipPackage package(bytes);
        return PackageContentTypes::read(package).namesWorkbook();
    } catch (const WorkbookError &) {
        // A package too damaged to open (cut short, its directory broken) is taken when its
        // first entry is what writers of OOXML packages put first: its reading says what is
        // wrong with it. Any other broken ZIP file is no workbook.
        return StartsLikeOoxml(bytes);
    } catch (...) {
        return false;
    }
}

std::shared_ptr<Workbook> OoxmlReader::read(std::span<const std::uint8_t> bytes,
                                            const ReadControl &control)
{
    return read(bytes, control, Options());
}

std::shared_ptr<Workbook> OoxmlReader::read(std::span<const std::uint8_t> bytes,
                                            const ReadControl &control, Options options)
{
    const ZipPackage package(bytes);
    const std::string workbookPart = WorkbookPart(package);
    WorkbookPartReader workbookReader;
    PackagePart::ParseWithExpat(package, RequiredEntry(package, workbookPart), workbookPart,
                                workbookReader, control);
    const PackageRelationships relationships = PackageRelationships::read(package, workbookPart);

    auto book = std::make_shared<Workbook>(control.scope());
    book->setFormat(QStringLiteral("OOXML"));
    book->setDate1904(workbookReader.date1904());
    if (const auto *styles = relationships.firstOfKind("styles")) {
        StylesReader stylesReader;
        PackagePart::ParseWithExpat(package, RequiredEntry(package, styles->target), styles->target,
                                    stylesReader, control);
        book->setDateStyles(stylesReader.dateStyles());
    }
    const std::vector<SheetPart> sheets = WorksheetParts(workbookReader.sheets(), relationships);

    std::optional<SharedStringsThread> stringsThread;
    std::function<void()> goOn;
    if (const auto *strings = relationships.firstOfKind("sharedStrings")) {
        const std::uint64_t entry = RequiredEntry(package, strings->target);
        if (options.parallel && !sheets.empty()) {
            stringsThread.emplace(bytes, entry, strings->target, book->strings(), control,
                                  options.fastScanner);
            goOn = [&stringsThread] {
                stringsThread->checkStillGood();
            };
        } else {
            ReadSharedStrings(package, entry, strings->target, book->strings(), control,
                              options.fastScanner);
        }
    }
    // Every worksheet in the list first, so that none moves while the cells are read. A sheet
    // outside the scope is neither looked for nor read: its damage does not refuse the workbook.
    std::vector<Worksheet *> listed;
    book->reserveWorksheets(sheets.size());
    for (const SheetPart &part : sheets)
        listed.push_back(&book->addWorksheet(part.name));
    std::vector<SheetBeingRead> read;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        if (!listed[i]->isRead())
            continue;
        SheetBeingRead &being = read.emplace_back(SheetBeingRead{listed[i], StringTable()});
        ReadWorksheet(package, sheets[i], *being.sheet, being.ownTexts, workbookReader.date1904(),
                      control, options, goOn);
    }
    if (stringsThread)
        stringsThread->wait();
    JoinTexts(book->strings(), read);
    book->finish();
    return book;
}
