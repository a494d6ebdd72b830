// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/update/HttpClient.h"
#include "lumafold/update/UpdateInfo.h"

#include <optional>
#include <string>

namespace lumafold::Updater {

inline constexpr std::size_t maxManifestBytes = 1024 * 1024;

// Fetches the manifest and returns the update it announces when that is newer than
// currentVersion. Blocking; run it off the main thread. Never throws: any failure is nullopt.
std::optional<UpdateInfo> check(const std::string& manifestURL, const std::string& currentVersion, HttpClient& session);

// The decision on a fetched body, without the network (exposed for tests and fuzzing).
std::optional<UpdateInfo> parseManifest(const std::string& body, const std::string& currentVersion);

// True when candidate is a strictly higher plain dotted version than current.
bool isNewer(const std::string& candidate, const std::string& current);

} // namespace lumafold::Updater
