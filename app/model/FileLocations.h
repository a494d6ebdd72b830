// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <vector>

// The model names files by file URLs; the engine takes paths in the local 8-bit encoding.
namespace lumafold::FileLocations {

std::filesystem::path toPath(const QUrl& url);
QUrl toUrl(const std::filesystem::path& path);

// Absolute and lexically normal; symbolic links are not resolved.
std::filesystem::path standardized(const std::filesystem::path& path);

// The last component, also for a location written with a trailing slash.
QString lastComponent(const std::filesystem::path& path);
// The last component without its last extension ("scan.final.pdf" gives "scan.final").
QString nameWithoutExtension(const std::filesystem::path& path);

// Expands folders (recursively, skipping hidden entries and not following links to folders) and
// keeps the locations whose extension is "pdf" in any case; a file named directly counts even when
// it is hidden. The result is standardized, without repeats, in the order found. Never throws;
// what cannot be read contributes nothing.
std::vector<std::filesystem::path> collectPdfFiles(const std::vector<std::filesystem::path>& locations);

// The first of "<baseName>.pdf", "<baseName> 2.pdf", ... in `folder` that nothing (not even a
// dangling link) occupies.
std::filesystem::path uniqueDestination(const std::filesystem::path& folder, const QString& baseName);

// Hands `write` the first free name; when another program takes that name before `write` places
// the file (write throws the engine's destinationExists), the next free name is tried.
// Returns what `write` returns; any other failure passes through.
std::filesystem::path
writeUnderFreeName(const std::filesystem::path& folder, const QString& baseName,
                   const std::function<std::filesystem::path(const std::filesystem::path&)>& write);

} // namespace lumafold::FileLocations
