// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/update/HttpClient.h"
#include "lumafold/update/UpdateInfo.h"
#include "update/BundleSignature.h"
#include "update/Unpacker.h"
#include "update/UpdateError.h"

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

namespace lumafold {

// Where and against what an installation runs; the defaults are the running program's.
struct InstallOptions
{
    std::optional<std::filesystem::path> bundle; // the bundle to replace; default: the running one
    BundleSignature::PublicKey key = BundleSignature::makerKey;
    std::string identifier = "app.marlo.Lumafold";
    std::filesystem::path temporaryFolder; // default: the system's ($TMPDIR or /tmp)
    pid_t pid = 0;                         // the process the swap waits for; default: this one
    std::uint64_t maxDownloadBytes = 1024ULL * 1024 * 1024;
    UnpackLimits unpackLimits;
};

namespace SelfUpdater {

// Downloads, unpacks and checks the announced update, then starts the script that replaces the
// bundle once the process has exited and starts the new version. Blocking: run it off the main
// thread; the caller quits the program when it returns. Throws UpdateError, Cancelled (when
// `stop` asks during the download or the unpacking) or the file system's and process start's
// own errors.
void install(const UpdateInfo& update, HttpClient& client, std::stop_token stop, const InstallOptions& options = {});

// The bundle the program runs from (BUNDLE/Contents/bin/PROGRAM beside BUNDLE/Contents/Info.plist),
// or nothing.
std::optional<std::filesystem::path> runningBundle();

// Throws UpdateError(wrongApp) unless the bundle's Info.plist names `identifier` and exactly
// `expectedVersion`.
void verifyIdentity(const std::filesystem::path& bundle, const std::string& expectedVersion,
                    const std::string& identifier);

// The shell script that waits for `pid` to exit, puts bundle $1 in the place of bundle $2 and
// starts $2's program.
std::string swapScript(pid_t pid);

// Writes the swap script to FOLDER/marlo-update-PID.sh and starts it detached.
void launchSwap(const std::filesystem::path& newApp, const std::filesystem::path& dest, pid_t pid,
                const std::filesystem::path& folder);

} // namespace SelfUpdater
} // namespace lumafold
