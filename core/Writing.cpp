// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/LumafoldEngine.h"

#include "core/EngineInternal.h"
#include "core/engine/PdfDocument.h"
#include "lumafold/FileOps.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace lumafold::LumafoldEngine {

namespace {

bool somethingExistsAt(const std::filesystem::path& path)
{
    std::error_code error;
    // symlink_status: a dangling symlink is still something that a rename must not replace.
    return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

// Creates the folders missing on the way to `folder`, outermost first. Unless kept, removes
// them again, deepest first, so that a failed write leaves none of them behind; folders that
// were there before, or that someone else made meanwhile, are never touched.
class CreatedFolders
{
public:
    explicit CreatedFolders(const std::filesystem::path& folder)
    {
        std::vector<std::filesystem::path> missing;
        for (auto step = folder; !step.empty() && !somethingExistsAt(step); step = step.parent_path()) {
            missing.push_back(step);
            if (step == step.parent_path()) {
                break;
            }
        }
        for (auto step = missing.rbegin(); step != missing.rend(); ++step) {
            if (::mkdir(step->c_str(), 0777) == 0) {
                m_created.push_back(*step);
            } else if (errno != EEXIST) {
                const int reason = errno;
                removeCreated();
                throw FileSystemError("The folder " + quotedName(step->filename().string()) +
                                      " could not be created: " + std::strerror(reason) + ".");
            }
        }
    }
    ~CreatedFolders()
    {
        if (!m_kept) {
            removeCreated();
        }
    }
    CreatedFolders(const CreatedFolders&) = delete;
    CreatedFolders& operator=(const CreatedFolders&) = delete;

    void keep() { m_kept = true; }

private:
    void removeCreated()
    {
        // rmdir(2) leaves a folder that someone has put something into meanwhile.
        for (auto folder = m_created.rbegin(); folder != m_created.rend(); ++folder) {
            ::rmdir(folder->c_str());
        }
        m_created.clear();
    }

    std::vector<std::filesystem::path> m_created;
    bool m_kept = false;
};

// Removes the side file on every way out, unless it has been moved into place.
class SideFile
{
public:
    explicit SideFile(std::filesystem::path path) : m_path(std::move(path)) {}
    ~SideFile()
    {
        if (!m_moved) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }
    SideFile(const SideFile&) = delete;
    SideFile& operator=(const SideFile&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    void markMoved() { m_moved = true; }

private:
    std::filesystem::path m_path;
    bool m_moved = false;
};

LumafoldError cannotWriteBecause(int error)
{
    return LumafoldError::cannotWrite(error != 0 ? std::strerror(error) : "");
}

bool reopensWithPages(const std::filesystem::path& path, std::int64_t expectedPages)
{
    try {
        return mupdf::Document::openFile(path).pageCount() == expectedPages;
    } catch (const mupdf::FzError&) {
        return false;
    }
}

int digitCount(std::int64_t value)
{
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

void removeAll(const std::vector<std::filesystem::path>& files)
{
    for (const auto& file : files) {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
}

} // namespace

namespace detail {

std::filesystem::path placeVerified(const std::filesystem::path& destination, std::int64_t pageCount,
                                    const std::function<bool(int fd)>& fill)
{
    if (somethingExistsAt(destination)) {
        throw LumafoldError::destinationExists(destination);
    }
    const auto folder = destination.parent_path().empty() ? std::filesystem::path(".") : destination.parent_path();
    CreatedFolders folders(destination.parent_path());
    SideFile side(folder / (".marlo-lumafold-" + FileOps::newUuid() + ".pdf"));
    const int fd = FileOps::createNewFile(side.path());
    if (fd < 0) {
        throw cannotWriteBecause(errno);
    }
    bool filled = false;
    try {
        filled = fill(fd);
    } catch (const mupdf::WriteFailed& failed) {
        FileOps::closeFile(fd);
        throw cannotWriteBecause(failed.error());
    } catch (...) {
        FileOps::closeFile(fd);
        throw;
    }
    if (!filled) {
        const int reason = errno;
        FileOps::closeFile(fd);
        throw cannotWriteBecause(reason);
    }
    if (!FileOps::closeFile(fd)) {
        throw cannotWriteBecause(errno);
    }
    if (!reopensWithPages(side.path(), pageCount)) {
        throw LumafoldError::verificationFailed("the written file does not contain every page");
    }
    if (!FileOps::moveNoReplace(side.path(), destination)) {
        throw cannotWriteBecause(errno);
    }
    side.markMoved();
    folders.keep();
    FileOps::syncDirectory(folder);
    return destination;
}

} // namespace detail

std::filesystem::path write(const PagesResult& result, const std::filesystem::path& destination)
{
    return detail::placeVerified(destination, result.pageCount,
                                 [&result](int fd) { return FileOps::writeAll(fd, result.data); });
}

std::string splitFileName(const std::string& baseName, std::int64_t number, std::int64_t fileCount)
{
    const int width = std::max(2, digitCount(fileCount));
    std::string digits = std::to_string(number);
    if (static_cast<int>(digits.size()) < width) {
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    }
    return baseName + "-" + digits + ".pdf";
}

std::vector<std::filesystem::path> split(const std::vector<PageDescriptor>& pages, std::int64_t chunkSize,
                                         const std::filesystem::path& folder, const std::string& baseName,
                                         bool removeMetadata, std::stop_token stop)
{
    if (pages.empty()) {
        throw LumafoldError::noPages();
    }
    const auto size = static_cast<std::size_t>(std::max<std::int64_t>(chunkSize, 1));
    const std::size_t fileCount = (pages.size() + size - 1) / size;
    std::vector<std::filesystem::path> locations;
    for (std::size_t number = 1; number <= fileCount; ++number) {
        locations.push_back(
            folder / splitFileName(baseName, static_cast<std::int64_t>(number), static_cast<std::int64_t>(fileCount)));
    }
    for (const auto& location : locations) {
        if (somethingExistsAt(location)) {
            throw LumafoldError::destinationExists(location);
        }
    }
    std::vector<std::filesystem::path> written;
    try {
        for (std::size_t chunk = 0; chunk < fileCount; ++chunk) {
            if (stop.stop_requested()) {
                throw Cancelled();
            }
            const auto first = pages.begin() + static_cast<std::ptrdiff_t>(chunk * size);
            const auto last = pages.begin() + static_cast<std::ptrdiff_t>(std::min(pages.size(), (chunk + 1) * size));
            written.push_back(
                assembleToFile(std::vector<PageDescriptor>(first, last), removeMetadata, locations[chunk], stop));
        }
    } catch (...) {
        removeAll(written);
        throw;
    }
    return written;
}

} // namespace lumafold::LumafoldEngine
