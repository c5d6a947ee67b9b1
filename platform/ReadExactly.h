#pragma once

#include <cstddef>

// Reads exactly `size` bytes from `fd` into `data`, retrying interrupted and partial reads. An
// end of file before that is InOutError 100, "Read beyond end of file"; any other failure the
// InOutError of its errno.
void ReadExactly(int fd, void *data, std::size_t size);
