// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <stop_token>

namespace lumafold {

// Caps that keep a hostile archive (a zip bomb) from filling the disk.
struct UnpackLimits
{
    std::uint64_t maxTotalBytes = 2ULL * 1024 * 1024 * 1024;
    std::size_t maxEntries = 100000;
};

// Extracts the zip archive into `folder`, which it creates. Refuses (UpdateError unpack) an archive
// it cannot read, an entry that is not a file, folder or link, an entry that would land outside
// the folder or write through a link, a link that points outside, and an archive
// beyond the limits. Throws Cancelled when `stop` asks between entries or blocks. What was
// extracted before a failure stays, always inside the folder.
void unpackZip(const std::filesystem::path& archive, const std::filesystem::path& folder, const UnpackLimits& limits,
               std::stop_token stop);

} // namespace lumafold
