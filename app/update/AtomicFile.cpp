// SPDX-License-Identifier: AGPL-3.0-or-later
#include "update/AtomicFile.h"

#include "lumafold/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <unistd.h>

namespace lumafold {

void writeFileAtomically(const std::filesystem::path& path, std::string_view content)
{
    std::string sideName = ".";
    sideName += path.filename().string();
    sideName += '.';
    sideName += FileOps::newUuid();
    const auto side = path.parent_path() / sideName;
    const int fd = FileOps::createNewFile(side);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), side.string());
    }
    const bool written = FileOps::writeAll(fd, Bytes(content.begin(), content.end()));
    const int writeError = errno;
    if (!FileOps::closeFile(fd) || !written) {
        const int error = written ? errno : writeError;
        ::unlink(side.c_str());
        throw std::system_error(error, std::generic_category(), side.string());
    }
    if (std::rename(side.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(side.c_str());
        throw std::system_error(error, std::generic_category(), path.string());
    }
    FileOps::syncDirectory(path.parent_path());
}

} // namespace lumafold
