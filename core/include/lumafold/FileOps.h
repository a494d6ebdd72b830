// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"

#include <filesystem>
#include <string>

// File-system primitives for writing user files without ever replacing one.
namespace lumafold::FileOps {

// A random version 4 UUID, 36 upper-case hexadecimal characters with hyphens.
std::string newUuid();

// Renames `from` to `to` unless something already exists at `to`, atomically: a file that
// appears at `to` at any moment before the rename makes it fail. Returns false on failure.
bool moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// The link(2) + unlink(2) form of moveNoReplace, for file systems that refuse renameat2 flags.
bool linkThenUnlink(const std::filesystem::path& from, const std::filesystem::path& to);

// Creates `path`, which must not exist yet, for writing; -1 on failure.
int createNewFile(const std::filesystem::path& path);
bool writeAll(int fd, const Bytes& bytes);
// Flushes the file to disk and closes it; false when either fails.
bool closeFile(int fd);

// Flushes a directory entry change (a rename) to disk; failures are ignored.
void syncDirectory(const std::filesystem::path& directory);

} // namespace lumafold::FileOps
