// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace lumafold::FileOps {

std::string newUuid()
{
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t high = generator();
    std::uint64_t low = generator();
    high = (high & ~0xF000ULL) | 0x4000ULL;           // version 4
    low = (low & ~(0xC0ULL << 56)) | (0x80ULL << 56); // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(high >> 32),
                  static_cast<unsigned>((high >> 16) & 0xFFFF), static_cast<unsigned>(high & 0xFFFF),
                  static_cast<unsigned>(low >> 48), static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFULL));
    return text;
}

bool linkThenUnlink(const std::filesystem::path& from, const std::filesystem::path& to)
{
    // link(2) never replaces an existing name.
    if (::link(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

bool moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    // Some file systems (older NFS, some FUSE) do not know the flag; link(2) keeps the guarantee.
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        return linkThenUnlink(from, to);
    }
    return false;
}

int createNewFile(const std::filesystem::path& path)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

bool writeAll(int fd, const Bytes& bytes)
{
    const auto* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool closeFile(int fd)
{
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

void syncDirectory(const std::filesystem::path& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace lumafold::FileOps
