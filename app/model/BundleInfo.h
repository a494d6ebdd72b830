// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace lumafold::BundleInfo {

// The "CFBundleShortVersionString" of the property list at `plistPath`, when that key is present
// in its top dictionary and holds text.
std::optional<QString> shortVersion(const QString& plistPath);

// The running program's version, the one answer to "which version is this": the bundle's value
// when the program runs from a bundle (Lumafold.app/Contents/Info.plist beside Contents/bin/),
// otherwise the build's own (its version in a release build, "Development" in any other).
QString runningVersion();

} // namespace lumafold::BundleInfo
