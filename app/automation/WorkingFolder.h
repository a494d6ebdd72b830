// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

namespace lumafold {

// A fresh folder "Marlo Lumafold Intent <UUID>" in the temporary directory, readable by its
// owner only. It is removed with everything in it when destroyed, unless keep() was called.
class WorkingFolder
{
public:
    // Throws FileSystemError when the folder cannot be created.
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Copies the bytes of `source` to `name` inside the folder (a side file, then renamed).
    // Throws LumafoldError::cannotRead(source) when `source` is not a readable regular file,
    // FileSystemError when the copy cannot be written.
    std::filesystem::path copyIn(const std::filesystem::path& source, const std::string& name) const;

    void keep() { m_keep = true; }

private:
    std::filesystem::path m_path;
    bool m_keep = false;
};

} // namespace lumafold
