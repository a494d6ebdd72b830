// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/automation/WorkingFolder.h"

#include "core/LumafoldError.h"

#include "core/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace lumafold {

namespace {

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // close(2) reports delayed write errors (NFS, quotas), so its result matters for a copy.
    int close()
    {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

bool kernelCannotCopy(int error)
{
    return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP;
}

int copyWithReadWrite(int in, int out)
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return errno;
        }
        if (got == 0) {
            return 0;
        }
        for (ssize_t sent = 0; sent < got;) {
            const ssize_t n = ::write(out, buffer.data() + sent, static_cast<size_t>(got - sent));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return errno;
            }
            sent += n;
        }
    }
}

// A reflink shares the data blocks (btrfs, XFS) and costs nearly nothing; copy_file_range keeps
// the bytes in the kernel. Plain read/write is the fallback for file systems that offer neither.
int copyBytes(int in, int out)
{
    if (::ioctl(out, FICLONE, in) == 0) {
        return 0;
    }
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
        if (n > 0) {
            continue;
        }
        if (n == 0) {
            return 0;
        }
        if (errno == EINTR) {
            continue;
        }
        // The file offsets tell how far the kernel got, so read/write carries on from there.
        return kernelCannotCopy(errno) ? copyWithReadWrite(in, out) : errno;
    }
}

// Never replaces an existing file, even in our own folder.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    ::unlink(from.c_str());
    return 0;
}

std::string copyFailed(const std::filesystem::path& source, int error)
{
    return source.filename().string() + " could not be copied: " + std::strerror(error) + ".";
}

} // namespace

WorkingFolder::WorkingFolder()
{
    std::error_code error;
    auto temporary = std::filesystem::temp_directory_path(error);
    if (!error) {
        // Absolute, so that the engine's errors name the copies exactly as they were made.
        temporary = std::filesystem::absolute(temporary, error).lexically_normal();
    }
    if (error) {
        throw FileSystemError("The temporary folder could not be found: " + error.message() + ".");
    }
    const auto uuid = FileOps::newUuid();
    m_path = temporary / ("Marlo Lumafold Intent " + uuid);
    // Owner only: the folder holds copies of the user's documents in a shared directory.
    if (::mkdir(m_path.c_str(), 0700) != 0) {
        const int reason = errno;
        throw FileSystemError("The working folder could not be created in " + temporary.string() + ": " +
                              std::strerror(reason) + ".");
    }
}

WorkingFolder::~WorkingFolder()
{
    if (!m_keep) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

std::filesystem::path WorkingFolder::copyIn(const std::filesystem::path& source, const std::string& name) const
{
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused just below.
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info
    {
    };
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw LumafoldError::cannotRead(source);
    }
    ::fcntl(in.get(), F_SETFL, 0);

    const auto target = m_path / name;
    const auto side = m_path / ("." + name + ".part");
    FileDescriptor out(::open(side.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        throw FileSystemError(copyFailed(source, errno));
    }
    int error = copyBytes(in.get(), out.get());
    if (out.close() != 0 && error == 0) {
        error = errno;
    }
    if (error == 0) {
        error = renameNoReplace(side, target);
    }
    if (error != 0) {
        ::unlink(side.c_str());
        throw FileSystemError(copyFailed(source, error));
    }
    return target;
}

} // namespace lumafold
