// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "update/UpdateError.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lumafold::test {

struct ZipEntry
{
    enum Kind
    {
        file,
        folder,
        symlink,
    };
    Kind kind;
    std::string path;
    std::string content; // a file's bytes, a link's target
    unsigned mode = 0644;
};

// The kind of UpdateError the call throws, if any.
template <typename Call> std::optional<UpdateError::Kind> errorOf(Call&& call)
{
    try {
        call();
        return std::nullopt;
    } catch (const UpdateError& error) {
        return error.kind();
    }
}

void writeZip(const std::filesystem::path& zip, const std::vector<ZipEntry>& entries);
// The entries of a real tree, its root folder's name first, as the release zip holds them.
std::vector<ZipEntry> entriesOf(const std::filesystem::path& folder);

// A new Ed25519 private key in PEM form.
std::string newPrivateKey();

// A bundle whose program appends its version to the file named by $LUMAFOLD_TEST_MARKER and
// which carries the bundle swap's helper, as a release does.
void makeBundle(const std::filesystem::path& app, const std::string& version,
                const std::string& identifier = "app.marlo.Lumafold");

} // namespace lumafold::test
