// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/WorkingFolder.h"

#include "lumafold/LumafoldError.h"

#include "lumafold/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <string_view>
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

bool writeAllAt(int fd, const char* data, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

// Copies the bytes from `offset` up to `end` with copy_file_range, which keeps them in the
// kernel, or with read/write where the kernel cannot. A file that has meanwhile become shorter
// moves `end` back to where it now ends.
int copyRange(int in, int out, off_t offset, off_t& end)
{
    bool kernel = true;
    std::vector<char> buffer;
    while (offset < end) {
        const auto want = static_cast<std::size_t>(std::min<off_t>(end - offset, off_t{1} << 30));
        ssize_t n = -1;
        if (kernel) {
            off_t from = offset;
            off_t to = offset;
            n = ::copy_file_range(in, &from, out, &to, want, 0);
            if (n < 0 && kernelCannotCopy(errno)) {
                kernel = false;
                continue;
            }
        } else {
            buffer.resize(std::size_t{1} << 20);
            n = ::pread(in, buffer.data(), std::min(want, buffer.size()), offset);
            if (n > 0 && !writeAllAt(out, buffer.data(), static_cast<std::size_t>(n), offset)) {
                return errno;
            }
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            end = offset;
            return 0;
        }
        offset += n;
    }
    return 0;
}

// A reflink shares the data blocks (btrfs, XFS) and costs nearly nothing. Otherwise only the
// parts that hold data are copied: copy_file_range writes a sparse file's holes out in full on
// most file systems, gigabytes of zeros for a few bytes of content.
int copyBytes(int in, int out, off_t size)
{
    if (::ioctl(out, FICLONE, in) == 0) {
        return 0;
    }
    for (off_t offset = 0; offset < size;) {
        off_t data = ::lseek(in, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO) {
            break; // nothing but a hole up to the end
        }
        // A file system that cannot tell has its data everywhere.
        off_t hole = size;
        if (data < 0) {
            data = offset;
        } else if (const off_t found = ::lseek(in, data, SEEK_HOLE); found >= 0) {
            hole = std::min(found, size);
        }
        off_t reached = hole;
        if (const int error = copyRange(in, out, data, reached); error != 0) {
            return error;
        }
        if (reached < hole) {
            size = reached;
        }
        offset = hole;
    }
    // The holes are never written; the length alone makes them part of the copy.
    return ::ftruncate(out, size) == 0 ? 0 : errno;
}

// PDF readers accept the header anywhere in the first KiB; anything else is not worth a copy.
bool looksLikePdf(int fd)
{
    char start[1024];
    ssize_t got = -1;
    do {
        got = ::pread(fd, start, sizeof start, 0);
    } while (got < 0 && errno == EINTR);
    return got > 0 && std::string_view(start, static_cast<std::size_t>(got)).find("%PDF-") != std::string_view::npos;
}

std::string copyFailed(const std::filesystem::path& source, int error)
{
    return displayName(source.filename().string()) + " could not be copied: " + std::strerror(error) + ".";
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
        throw FileSystemError("The working folder could not be created in " + displayName(temporary.string()) + ": " +
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
    if (in.get() < 0 && (errno == EMFILE || errno == ENFILE)) {
        throw LumafoldError::tooManyOpenFiles(source);
    }
    struct stat info
    {
    };
    if (in.get() < 0 || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        throw LumafoldError::cannotRead(source);
    }
    ::fcntl(in.get(), F_SETFL, 0);
    if (!looksLikePdf(in.get())) {
        throw LumafoldError::cannotRead(source);
    }

    const auto target = m_path / name;
    const auto side = m_path / ("." + name + ".part");
    FileDescriptor out(::open(side.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        throw FileSystemError(copyFailed(source, errno));
    }
    int error = copyBytes(in.get(), out.get(), info.st_size);
    if (out.close() != 0 && error == 0) {
        error = errno;
    }
    if (error == 0) {
        // Never replaces an existing file, even in our own folder.
        error = FileOps::moveNoReplace(side, target) ? 0 : errno;
    }
    if (error != 0) {
        ::unlink(side.c_str());
        throw FileSystemError(copyFailed(source, error));
    }
    return target;
}

} // namespace lumafold
