#pragma once

#include <QString>

// The full path of the running executable as the kernel reports it (not argv[0]).
// Empty when the kernel cannot tell.
QString executablePath();
