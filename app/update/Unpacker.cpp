// SPDX-License-Identifier: AGPL-3.0-or-later
#include "update/Unpacker.h"

#include "lumafold/LumafoldError.h"
#include "update/UpdateError.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>

namespace lumafold {

namespace {

namespace fs = std::filesystem;

struct ReaderDeleter
{
    void operator()(archive* reader) const { archive_read_free(reader); }
};
struct WriterDeleter
{
    void operator()(archive* writer) const { archive_write_free(writer); }
};

[[noreturn]] void refuse()
{
    throw UpdateError(UpdateError::Kind::unpack);
}

void throwIfStopped(const std::stop_token& stop)
{
    if (stop.stop_requested()) {
        throw Cancelled();
    }
}

// A path inside the folder: relative, with no ".." component.
fs::path inside(const fs::path& root, const char* name)
{
    if (!name || !*name || name[0] == '/') {
        refuse();
    }
    for (const auto& part : fs::path(name)) {
        if (part == "..") {
            refuse();
        }
    }
    return root / name;
}

bool isWithin(const fs::path& root, const fs::path& path)
{
    const auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

// Anchors the entry's paths in the folder and gives it plain permissions (no set-id bits, and
// folders the swap can always remove).
void placeEntry(archive_entry* entry, const fs::path& root)
{
    // Release archives never hold hard links, and the zip format as read here cannot express one.
    const auto type = archive_entry_filetype(entry);
    if ((type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK) || archive_entry_hardlink(entry)) {
        refuse();
    }
    archive_entry_set_pathname(entry, inside(root, archive_entry_pathname(entry)).c_str());
    if (type == AE_IFLNK) {
        const char* target = archive_entry_symlink(entry);
        if (!target || target[0] == '/') {
            refuse();
        }
    }
    const bool executable = (archive_entry_perm(entry) & 0100) != 0;
    archive_entry_set_perm(entry, type == AE_IFDIR || executable ? 0755 : 0644);
}

void copyData(archive* reader, archive* writer, std::uint64_t& total, const UnpackLimits& limits,
              const std::stop_token& stop)
{
    for (;;) {
        throwIfStopped(stop);
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(reader, &block, &size, &offset);
        if (status == ARCHIVE_EOF) {
            return;
        }
        total += size;
        if (status != ARCHIVE_OK || offset < 0 || total > limits.maxTotalBytes ||
            static_cast<std::uint64_t>(offset) + size > limits.maxTotalBytes ||
            archive_write_data_block(writer, block, size, offset) != ARCHIVE_OK) {
            refuse();
        }
    }
}

// A link may point at a later entry, so where links lead is checked once all are in place,
// following every link on the way as the program would.
void checkLinksStayInside(const fs::path& root)
{
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_symlink()) {
            continue;
        }
        std::error_code error;
        const fs::path target = fs::weakly_canonical(entry.path(), error);
        if (error || !isWithin(root, target)) {
            refuse();
        }
    }
}

} // namespace

void unpackZip(const fs::path& archivePath, const fs::path& folder, const UnpackLimits& limits, std::stop_token stop)
{
    if (!fs::create_directory(folder)) {
        throw fs::filesystem_error("unpack", folder, std::make_error_code(std::errc::file_exists));
    }
    const fs::path root = fs::canonical(folder);
    const std::unique_ptr<archive, ReaderDeleter> reader(archive_read_new());
    const std::unique_ptr<archive, WriterDeleter> writer(archive_write_disk_new());
    if (!reader || !writer || archive_read_support_format_zip(reader.get()) != ARCHIVE_OK ||
        archive_read_open_filename(reader.get(), archivePath.c_str(), 64 * 1024) != ARCHIVE_OK ||
        archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                         ARCHIVE_EXTRACT_SECURE_NODOTDOT) != ARCHIVE_OK) {
        refuse();
    }
    std::size_t entries = 0;
    std::uint64_t total = 0;
    for (;;) {
        throwIfStopped(stop);
        archive_entry* entry = nullptr;
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF) {
            break;
        }
        if (status != ARCHIVE_OK || ++entries > limits.maxEntries) {
            refuse();
        }
        placeEntry(entry, root);
        if (archive_write_header(writer.get(), entry) != ARCHIVE_OK) {
            refuse();
        }
        copyData(reader.get(), writer.get(), total, limits, stop);
        if (archive_write_finish_entry(writer.get()) != ARCHIVE_OK) {
            refuse();
        }
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        refuse();
    }
    checkLinksStayInside(root);
}

} // namespace lumafold
