#pragma once

// Owns one open file descriptor and closes it exactly once, on every path.
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept
        : m_fd(fd)
    {
    }
    ~FileDescriptor() { close(); }

    FileDescriptor(FileDescriptor &&other) noexcept;
    FileDescriptor &operator=(FileDescriptor &&other) noexcept;
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const noexcept { return m_fd; }
    bool isOpen() const noexcept { return m_fd >= 0; }

    // Closes now. Returns 0, or the errno close() reported; the descriptor is released either
    // way (Linux never leaves it open after a failed close, so it is not retried).
    int close() noexcept;
    // Closes now and raises the InOutError of a failed close (which can report a write that
    // failed late); EINTR says nothing about the data and is not an error.
    void closeOrThrow();

private:
    int m_fd = -1;
};
