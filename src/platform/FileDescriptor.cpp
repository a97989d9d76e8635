#include "platform/FileDescriptor.h"

#include <cerrno>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace folvane {

int FileDescriptor::release() noexcept { return std::exchange(fd_, -1); }

void FileDescriptor::reset(int fd) noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

int FileDescriptor::Close() noexcept
{
    const int fd = release();
    return fd < 0 || ::close(fd) == 0 ? 0 : errno;
}

RegularFile OpenRegularFile(const char *path, int flags)
{
    RegularFile file;
    file.fd.reset(::open(path, flags | NoWaitOpenFlags));
    if (!file.fd) {
        file.error = errno;
        file.failure = RegularFile::Failure::CannotOpen;
        return file;
    }
    struct stat st {};
    if (::fstat(file.fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        file.fd.reset();
        file.failure = RegularFile::Failure::NotRegular;
        return file;
    }
    ::fcntl(file.fd.get(), F_SETFL, ::fcntl(file.fd.get(), F_GETFL) & ~O_NONBLOCK);
    file.size = static_cast<std::int64_t>(st.st_size);
    return file;
}

}  // namespace folvane
