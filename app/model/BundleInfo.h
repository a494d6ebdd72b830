// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace lumafold::BundleInfo {

// The "CFBundleShortVersionString" of the property list at `plistPath`, when that key is present
// in its top dictionary and holds text.
std::optional<QString> shortVersion(const QString& plistPath);

// The running program's version: its bundle's value (Lumafold.app/Contents/Info.plist beside
// Contents/bin/), otherwise "Development".
QString runningVersion();

} // namespace lumafold::BundleInfo
