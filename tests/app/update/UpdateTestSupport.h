// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/LumafoldError.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDir.h"
#include "update/BundleSignature.h"
#include "update/SelfUpdater.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <thread>
#include <tuple>

namespace lumafold::test {

// The kind of UpdateError the call throws, if any.
template <typename Call> std::optional<UpdateError::Kind> errorOf(Call&& call)
{
    try {
        call();
    } catch (const UpdateError& error) {
        return error.kind();
    }
    return std::nullopt;
}

// AE_IFREG or AE_IFLNK, the path, and a file's bytes or a link's target.
using ZipEntry = std::tuple<unsigned, std::string, std::string>;

inline void writeZip(const std::filesystem::path& zip, const std::vector<ZipEntry>& entries)
{
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    archive_write_open_filename(writer, zip.c_str());
    for (const auto& [type, path, content] : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, path.c_str());
        archive_entry_set_filetype(entry, type);
        archive_entry_set_symlink(entry, type == AE_IFLNK ? content.c_str() : nullptr);
        archive_entry_set_size(entry, type == AE_IFREG ? static_cast<la_int64_t>(content.size()) : 0);
        archive_write_header(writer, entry);
        archive_write_data(writer, content.data(), type == AE_IFREG ? content.size() : 0);
        archive_entry_free(entry);
    }
    archive_write_free(writer);
}

// Zips `item` as a release is zipped: under its own name, links as links.
inline void zipFolder(const std::filesystem::path& item, const std::filesystem::path& zip)
{
    std::system(("cd '" + item.parent_path().string() + "' && " CMAKE_COMMAND " -E tar cf '" + zip.string() +
                 "' --format=zip '" + item.filename().string() + "'")
                    .c_str());
}

// A new Ed25519 private key, written to `file` in PEM form.
inline std::string newPrivateKey(const std::filesystem::path& file)
{
    std::system((OPENSSL_EXECUTABLE " genpkey -algorithm ed25519 -out '" + file.string() + "'").c_str());
    const auto pem = readFile(file);
    return {pem.begin(), pem.end()};
}

// A bundle whose program writes its version to the file $LUMAFOLD_TEST_MARKER and which carries
// the swap's helper, as a release does.
inline void makeBundle(const std::filesystem::path& app, const std::string& version,
                       const std::string& identifier = "app.marlo.Lumafold")
{
    std::filesystem::create_directories(app / "Contents/bin");
    writeFile(app / "Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>" + identifier +
                                               "</string><key>CFBundleShortVersionString</key><string>" + version +
                                               "</string></dict></plist>");
    writeFile(app / "Contents/bin/lumafold",
              "#!/bin/sh\nm=$LUMAFOLD_TEST_MARKER; echo " + version + " > \"$m.$$\"; /bin/mv \"$m.$$\" \"$m\"\n");
    std::filesystem::permissions(app / "Contents/bin/lumafold", std::filesystem::perms::owner_all);
    std::filesystem::copy_file(LUMAFOLD_EXCHANGE_PROGRAM, app / "Contents/bin/lumafold-exchange");
    std::filesystem::create_symlink("bin/lumafold", app / "Contents/lumafold");
}

inline pid_t spawn(std::vector<const char*> argv)
{
    argv.push_back(nullptr);
    pid_t child = 0;
    ::posix_spawn(&child, argv[0], nullptr, nullptr, const_cast<char**>(argv.data()), environ);
    return child;
}

// A process number nothing runs under any more, for a swap that must not wait.
inline pid_t exitedPid()
{
    const pid_t exited = spawn({"/bin/true"});
    ::waitpid(exited, nullptr, 0);
    return exited;
}

// What the program a swap started wrote to `marker`, once it did.
inline std::string startedVersion(const std::filesystem::path& marker)
{
    for (int i = 0; i < 500 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto bytes = std::filesystem::exists(marker) ? readFile(marker) : std::vector<unsigned char>{};
    std::filesystem::remove(marker);
    return {bytes.begin(), bytes.end()};
}

} // namespace lumafold::test
