// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string_view>

namespace lumafold {

// Writes `content` to a new side file beside `path`, flushes it and renames it over `path`, so
// that `path` holds either its old content or all of the new one; a link at `path` is replaced,
// never followed. Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view content);

} // namespace lumafold
