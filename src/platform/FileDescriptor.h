#pragma once
// A file descriptor that closes itself, and the one way the program opens a name that must hold a
// regular file. Whatever stands at such a name may be someone else's: a FIFO without a writer would
// hold the open up for good, and a path checked before the open may be swapped before it, so the
// open never waits and the open descriptor itself is checked.

#include <cstdint>

#include <fcntl.h>

namespace folvane {

/// Owns a descriptor, closed when it goes; moved, never copied.
class FileDescriptor {
public:
    FileDescriptor() noexcept = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.release()) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    /// Hands the descriptor to the caller, who closes it from then on.
    int release() noexcept;
    /// Closes the descriptor held, if any, and holds fd.
    void reset(int fd = -1) noexcept;
    /// Closes the descriptor: 0, or the error the close reported (on Linux it is gone either way).
    int Close() noexcept;

private:
    int fd_ = -1;
};

/// Part of every open of a name that something else may stand at: a FIFO's missing other end is not
/// waited for, a terminal never becomes ours, and no program we start inherits the descriptor.
inline constexpr int NoWaitOpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

/// What OpenRegularFile found.
struct RegularFile {
    enum class Failure {
        None,
        CannotOpen,  ///< the open failed, with error
        NotRegular,  ///< the name holds, or leads to, something other than a regular file
    };
    FileDescriptor fd;  ///< open unless failure says why not
    std::int64_t size = 0;
    Failure failure = Failure::None;
    int error = 0;  ///< the open's errno
};

/// Opens path (in the file system's encoding) with flags (O_RDONLY, O_WRONLY | O_APPEND, ...) when it
/// is, or a link leads to, a regular file; anything else is closed again unused. The descriptor then
/// blocks as any regular file's does.
RegularFile OpenRegularFile(const char *path, int flags);

}  // namespace folvane
