// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/update/HttpClient.h"

#include "lumafold/FileOps.h"
#include "lumafold/LumafoldError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <system_error>

namespace lumafold {

HttpResponse HttpClient::download(const std::string& url, const std::filesystem::path& file, std::uint64_t maxBytes,
                                  std::stop_token stop)
{
    const auto cap =
        static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, std::numeric_limits<std::size_t>::max()));
    HttpResponse response = get(url, std::chrono::seconds(600), cap);
    if (stop.stop_requested()) {
        throw Cancelled();
    }
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), file.string());
    }
    const bool written = FileOps::writeAll(fd, Bytes(response.body.begin(), response.body.end()));
    const int writeError = errno;
    if (!FileOps::closeFile(fd) || !written) {
        throw std::system_error(written ? errno : writeError, std::generic_category(), file.string());
    }
    response.body.clear();
    return response;
}

} // namespace lumafold
