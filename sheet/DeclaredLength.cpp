#include "sheet/DeclaredLength.h"

#include "sheet/biff/CompoundFile.h"
#include "sheet/biff/CompoundFileLength.h"
#include "sheet/package/ZipEnd.h"
#include "sheet/package/ZipPackage.h"

bool lengthAsDeclared(QByteArrayView bytes)
{
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                             static_cast<std::size_t>(bytes.size()));
    if (CompoundFile::hasSignature(data))
        return compoundFileLengthFits(data);
    if (ZipPackage::hasSignature(data))
        return zipEndsWithDirectory(data);
    return true;
}
