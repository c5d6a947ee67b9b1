// A second process that holds or rewrites a file the way a writing program might, for the
// snapshot tests. Deliberately plain POSIX: it links nothing of the viewer.
//
//   snapshot_writer flock|posix|ofd|readlock|open PATH
//       takes the lock (or just opens the file for writing), prints "ready" and holds it
//       until its standard input is closed.
//   snapshot_writer reopen|overwrite|rename PATH VERSION_A VERSION_B [VERSION_C ...] MILLISECONDS
//       rewrites PATH with the contents of the version files in turn, as fast as it can,
//       prints "ready" after the first version, and at the end the number of rewrites and the
//       longest time one rewrite took, in microseconds (a writer that the scheduler stops half
//       way through a rewrite leaves the file in a state that is no version).
//       With SNAPSHOT_WRITER_PAUSE_MS set, it rests that long after each rewrite.
//       reopen: open with O_TRUNC, write, close; overwrite: one descriptor kept open, pwrite
//       then ftruncate; rename: write PATH.tmp, then rename it over PATH.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

using LockRequest = struct flock;

int fail(const char *what)
{
    std::fprintf(stderr, "snapshot_writer: %s: %s\n", what, std::strerror(errno));
    return 2;
}

void ready()
{
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
}

int holdUntilStdinCloses()
{
    ready();
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    return 0;
}

bool writeAll(int fd, const std::string &bytes, off_t at)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + done);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string readFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int hold(const std::string &mode, const char *path)
{
    const bool readOnly = mode == "readlock";
    const int fd = ::open(path, (readOnly ? O_RDONLY : mode == "open" ? O_WRONLY : O_RDWR));
    if (fd < 0)
        return fail("open");
    if (mode == "flock" && ::flock(fd, LOCK_EX) != 0)
        return fail("flock");
    if (mode == "posix" || mode == "ofd" || mode == "readlock") {
        LockRequest lock{};
        lock.l_type = readOnly ? F_RDLCK : F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd, mode == "ofd" ? F_OFD_SETLK : F_SETLK, &lock) != 0)
            return fail("fcntl");
    }
    const int rc = holdUntilStdinCloses();
    ::close(fd);
    return rc;
}

int rewrite(const std::string &mode, const std::string &path,
            const std::vector<std::string> &versions, long milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    const std::string temporary = path + ".tmp";
    const int kept = mode == "overwrite" ? ::open(path.c_str(), O_RDWR) : -1;
    if (mode == "overwrite" && kept < 0)
        return fail("open");
    const char *pause = std::getenv("SNAPSHOT_WRITER_PAUSE_MS");
    const useconds_t pauseUs = pause ? useconds_t(std::atol(pause) * 1000) : 0;
    long rewrites = 0;
    long long slowestUs = 0;
    for (;; ++rewrites) {
        const auto started = std::chrono::steady_clock::now();
        const std::string &bytes = versions[size_t(rewrites) % versions.size()];
        if (mode == "overwrite") {
            if (!writeAll(kept, bytes, 0) || ::ftruncate(kept, static_cast<off_t>(bytes.size())))
                return fail("overwrite");
        } else {
            const std::string &target = mode == "rename" ? temporary : path;
            const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || !writeAll(fd, bytes, 0) || ::close(fd) != 0)
                return fail("rewrite");
            if (mode == "rename" && ::rename(temporary.c_str(), path.c_str()) != 0)
                return fail("rename");
        }
        slowestUs =
            std::max<long long>(slowestUs, std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now() - started)
                                               .count());
        if (rewrites == 0)
            ready();
        if (pauseUs > 0)
            ::usleep(pauseUs);
        if (std::chrono::steady_clock::now() >= end)
            break;
    }
    if (kept >= 0)
        ::close(kept);
    std::printf("%ld %lld\n", rewrites + 1, slowestUs);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3)
        return hold(argv[1], argv[2]);
    if (argc >= 6) {
        std::vector<std::string> versions;
        for (int i = 3; i < argc - 1; ++i)
            versions.push_back(readFile(argv[i]));
        return rewrite(argv[1], argv[2], versions, std::atol(argv[argc - 1]));
    }
    std::fputs("usage: snapshot_writer MODE PATH [VERSION_A VERSION_B ... MILLISECONDS]\n", stderr);
    return 2;
}
