// SPDX-License-Identifier: AGPL-3.0-or-later
#include "UpdateTestSupport.h"

#include "support/TempDir.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <stdexcept>

namespace lumafold::test {

namespace fs = std::filesystem;

void writeZip(const fs::path& zip, const std::vector<ZipEntry>& entries)
{
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    archive_write_open_filename(writer, zip.c_str());
    for (const auto& item : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.path.c_str());
        archive_entry_set_perm(entry, item.mode);
        const bool hasData = item.kind == ZipEntry::file;
        archive_entry_set_filetype(entry, item.kind == ZipEntry::folder    ? AE_IFDIR
                                          : item.kind == ZipEntry::symlink ? AE_IFLNK
                                                                           : AE_IFREG);
        if (item.kind == ZipEntry::symlink) {
            archive_entry_set_symlink(entry, item.content.c_str());
        }
        archive_entry_set_size(entry, hasData ? static_cast<la_int64_t>(item.content.size()) : 0);
        if (archive_write_header(writer, entry) != ARCHIVE_OK ||
            (hasData && archive_write_data(writer, item.content.data(), item.content.size()) < 0)) {
            throw std::runtime_error(archive_error_string(writer));
        }
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

std::vector<ZipEntry> entriesOf(const fs::path& folder)
{
    std::vector<ZipEntry> entries{{ZipEntry::folder, folder.filename().string(), "", 0755}};
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        const auto path = (folder.filename() / item.path().lexically_relative(folder)).string();
        if (item.is_symlink()) {
            entries.push_back({ZipEntry::symlink, path, fs::read_symlink(item.path()).string(), 0777});
        } else if (item.is_directory()) {
            entries.push_back({ZipEntry::folder, path, "", 0755});
        } else {
            const auto bytes = readFile(item.path());
            const bool exec = (item.status().permissions() & fs::perms::owner_exec) != fs::perms::none;
            entries.push_back({ZipEntry::file, path, std::string(bytes.begin(), bytes.end()), exec ? 0755u : 0644u});
        }
    }
    return entries;
}

std::string newPrivateKey()
{
    FILE* openssl = popen(OPENSSL_EXECUTABLE " genpkey -algorithm ed25519", "r");
    std::string pem;
    char block[256];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, openssl)) > 0;) {
        pem.append(block, n);
    }
    pclose(openssl);
    return pem;
}

void makeBundle(const fs::path& app, const std::string& version, const std::string& identifier)
{
    fs::create_directories(app / "Contents" / "bin");
    fs::create_directories(app / "Contents" / "lib");
    writeFile(app / "Contents" / "Info.plist",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n<key>CFBundleIdentifier</key>"
              "<string>" +
                  identifier + "</string>\n<key>CFBundleShortVersionString</key><string>" + version +
                  "</string>\n</dict></plist>\n");
    const fs::path program = app / "Contents" / "bin" / "lumafold";
    writeFile(program, "#!/bin/sh\necho " + version + " >> \"$LUMAFOLD_TEST_MARKER\"\n");
    fs::permissions(program, fs::perms::owner_exec, fs::perm_options::add);
    fs::copy_file(LUMAFOLD_EXCHANGE_PROGRAM, app / "Contents" / "bin" / "lumafold-exchange");
    writeFile(app / "Contents" / "lib" / "libpages.so.1", "library " + version);
    fs::create_symlink("libpages.so.1", app / "Contents" / "lib" / "libpages.so");
}

} // namespace lumafold::test
