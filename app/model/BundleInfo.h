// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace lumafold::BundleInfo {

// The text under `key` in the top dictionary of the property list at `plistPath`, when the key is
// present there and holds text.
std::optional<QString> stringEntry(const QString& plistPath, const QString& key);

// Its "CFBundleShortVersionString".
std::optional<QString> shortVersion(const QString& plistPath);

// The running program's version, the one answer to "which version is this": the bundle's value
// when the program runs from a bundle (Lumafold.app/Contents/Info.plist beside Contents/bin/),
// otherwise the build's own (its version in a release build, "Development" in any other).
QString runningVersion();

} // namespace lumafold::BundleInfo
