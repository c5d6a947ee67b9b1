#pragma once

// Whether the open file lies on a file system of this machine's own kernel (ext4, xfs, btrfs,
// tmpfs, ...), where every writer goes through the same kernel as we do: its locks are seen, a
// read lease is broken by its open, and attributes are never stale. On a network file system
// (NFS, SMB, 9p, ...) or a FUSE mount the writer may be on the other side, where none of that
// holds. A file system this list does not know counts as not local.
bool onLocalFileSystem(int fd);
