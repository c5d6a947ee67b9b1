#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

// Root reads and writes through any file mode. Dropping the file-system user id to "nobody"
// for the current thread takes that power away (and gives it back on destruction), so that the
// permission cases can be tested in a root container too.
class PermissionsApply
{
public:
    PermissionsApply()
    {
        if (::geteuid() != 0)
            return;
        ::setfsgid(65534);
        ::setfsuid(65534);
        m_dropped = true;
    }
    PermissionsApply(const PermissionsApply &) = delete;
    PermissionsApply &operator=(const PermissionsApply &) = delete;
    ~PermissionsApply()
    {
        if (m_dropped) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }

private:
    bool m_dropped = false;
};
