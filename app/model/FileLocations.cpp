// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/FileLocations.h"

#include "lumafold/LumafoldError.h"

#include <QFile>

#include <set>
#include <sys/stat.h>
#include <unordered_set>
#include <utility>

namespace fs = std::filesystem;

namespace lumafold::FileLocations {

namespace {

bool hasPdfExtension(const fs::path& path)
{
    const std::string extension = path.extension().string();
    if (extension.size() != 4) {
        return false;
    }
    std::string lower;
    for (const char c : extension) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return lower == ".pdf";
}

bool isHidden(const fs::path& path)
{
    const std::string name = path.filename().string();
    return !name.empty() && name.front() == '.';
}

using FolderIdentity = std::pair<dev_t, ino_t>;

// Links to folders are never followed, but a bind mount can still lead back up the tree; the
// identities of the folders already walked stop that.
bool firstVisit(const fs::path& folder, std::set<FolderIdentity>& visited)
{
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) != 0) {
        return false;
    }
    return visited.emplace(info.st_dev, info.st_ino).second;
}

void appendFolder(const fs::path& folder, std::vector<fs::path>& found)
{
    std::set<FolderIdentity> visited;
    std::vector<fs::directory_iterator> open;
    std::error_code error;
    if (!firstVisit(folder, visited)) {
        return;
    }
    open.emplace_back(folder, error);
    if (error) {
        return;
    }
    while (!open.empty()) {
        fs::directory_iterator& current = open.back();
        if (current == fs::directory_iterator()) {
            open.pop_back();
            continue;
        }
        const fs::directory_entry entry = *current;
        current.increment(error);
        if (error) {
            // The rest of this folder is lost; its siblings and parents go on.
            current = fs::directory_iterator();
        }
        if (isHidden(entry.path())) {
            continue;
        }
        if (hasPdfExtension(entry.path())) {
            found.push_back(entry.path());
        }
        std::error_code ignored;
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored) && firstVisit(entry.path(), visited)) {
            fs::directory_iterator inner(entry.path(), error);
            if (!error) {
                open.push_back(std::move(inner));
            }
        }
    }
}

} // namespace

fs::path toPath(const QUrl& url)
{
    return fs::path(QFile::encodeName(url.toLocalFile()).toStdString());
}

QUrl toUrl(const fs::path& path)
{
    return QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path.native())));
}

fs::path standardized(const fs::path& path)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    return (error ? path : absolute).lexically_normal();
}

QString lastComponent(const fs::path& path)
{
    const fs::path name = path.has_filename() ? path.filename() : path.parent_path().filename();
    return QFile::decodeName(QByteArray::fromStdString(name.native()));
}

QString nameWithoutExtension(const fs::path& path)
{
    const fs::path name = path.has_filename() ? path.filename() : path.parent_path().filename();
    return QFile::decodeName(QByteArray::fromStdString(name.stem().native()));
}

std::vector<fs::path> collectPdfFiles(const std::vector<fs::path>& locations)
{
    std::vector<fs::path> found;
    for (const fs::path& location : locations) {
        if (location.empty()) {
            continue;
        }
        std::error_code error;
        if (fs::is_directory(location, error)) {
            appendFolder(location, found);
        } else if (hasPdfExtension(location)) {
            found.push_back(location);
        }
    }
    std::vector<fs::path> unique;
    std::unordered_set<std::string> seen;
    for (const fs::path& path : found) {
        fs::path standard = standardized(path);
        if (seen.insert(standard.native()).second) {
            unique.push_back(std::move(standard));
        }
    }
    return unique;
}

fs::path uniqueDestination(const fs::path& folder, const QString& baseName)
{
    const auto taken = [](const fs::path& candidate) {
        std::error_code error;
        const fs::file_type type = fs::symlink_status(candidate, error).type();
        // A dangling link blocks the name as well; a failed look-up (no search permission) does
        // not, or no name would ever be free.
        return type != fs::file_type::not_found && type != fs::file_type::none;
    };
    fs::path candidate = folder / QFile::encodeName(baseName + QStringLiteral(".pdf")).toStdString();
    for (qint64 n = 2; taken(candidate); ++n) {
        candidate =
            folder /
            QFile::encodeName(baseName + QLatin1Char(' ') + QString::number(n) + QStringLiteral(".pdf")).toStdString();
    }
    return candidate;
}

fs::path writeUnderFreeName(const fs::path& folder, const QString& baseName,
                            const std::function<fs::path(const fs::path&)>& write)
{
    // Bounded, in case something keeps taking every name as soon as it is chosen.
    for (int attempt = 1;; ++attempt) {
        try {
            return write(uniqueDestination(folder, baseName));
        } catch (const LumafoldError& error) {
            if (error.kind() != LumafoldError::Kind::destinationExists || attempt == 100) {
                throw;
            }
        }
    }
}

} // namespace lumafold::FileLocations
