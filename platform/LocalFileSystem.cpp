#include "platform/LocalFileSystem.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <sys/vfs.h>

namespace {

// statfs() f_type values (linux/magic.h and the file systems' own sources).
constexpr std::array<std::uint32_t, 21> LocalTypes = {
    0x0000EF53, // ext2, ext3, ext4
    0x58465342, // xfs
    0x9123683E, // btrfs
    0x01021994, // tmpfs
    0x858458F6, // ramfs
    0xF2F52010, // f2fs
    0x3153464A, // jfs
    0x52654973, // reiserfs
    0x794C7630, // overlayfs (its layers are local file systems in turn)
    0x2FC12FC1, // zfs
    0xCA451A4E, // bcachefs
    0x00004D44, // vfat, msdos
    0x2011BAB0, // exfat
    0x7366746E, // ntfs (kernel driver; ntfs-3g is FUSE)
    0x5346544E, // ntfs3
    0x00003434, // nilfs2
    0x0000482B, // hfsplus
    0x15013346, // udf
    0x00009660, // iso9660
    0x73717368, // squashfs
    0xE0F5E1E2, // erofs
};

} // namespace

bool onLocalFileSystem(int fd)
{
    struct statfs fs
    {
    };
    if (::fstatfs(fd, &fs) != 0)
        return false;
    const auto type = static_cast<std::uint32_t>(fs.f_type);
    return std::find(LocalTypes.begin(), LocalTypes.end(), type) != LocalTypes.end();
}
