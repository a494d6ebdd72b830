// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace lumafold {

// Every failure the engine reports by itself. Thrown by the engine; each case has one fixed,
// user-facing description.
class LumafoldError : public std::exception
{
public:
    enum class Kind
    {
        cannotRead,
        encrypted,
        emptyDocument,
        missingPage,
        invalidRange,
        destinationExists,
        verificationFailed,
        noPages,
        cannotWrite,
        tooManyOpenFiles,
    };

    static LumafoldError cannotRead(std::filesystem::path path);
    static LumafoldError encrypted(std::filesystem::path path);
    static LumafoldError emptyDocument(std::filesystem::path path);
    static LumafoldError missingPage(std::filesystem::path path, std::int64_t index);
    static LumafoldError invalidRange(std::string text);
    static LumafoldError destinationExists(std::filesystem::path path);
    static LumafoldError verificationFailed(std::string reason);
    static LumafoldError noPages();
    // `reason`: the system's, such as "No space left on device"; empty when there is none.
    static LumafoldError cannotWrite(std::string reason = {});
    // Opening the file failed only because the process or the system has too many files open.
    static LumafoldError tooManyOpenFiles(std::filesystem::path path);

    Kind kind() const { return m_kind; }
    const std::filesystem::path& path() const { return m_path; }
    std::int64_t index() const { return m_index; }
    // The range text, the verification reason or the system's reason for cannotWrite.
    const std::string& text() const { return m_text; }

    // The fixed sentence, followed by the system's reason when there is one.
    std::string errorDescription() const;
    // The fixed sentence alone; the system's reason is text().
    std::string summary() const;
    const char* what() const noexcept override { return m_description.c_str(); }

    bool operator==(const LumafoldError& other) const
    {
        return m_kind == other.m_kind && m_path == other.m_path && m_index == other.m_index && m_text == other.m_text;
    }

private:
    LumafoldError(Kind kind, std::filesystem::path path, std::int64_t index, std::string text);

    Kind m_kind;
    std::filesystem::path m_path;
    std::int64_t m_index = 0;
    std::string m_text;
    std::string m_description;
};

// A file name (or path) as messages show it: as it is, unless it holds a control character (a
// newline would split the message) or starts with a double quote. Then it is shown in double
// quotes with C-style escapes, so that no name can pass for another.
std::string displayName(const std::string& name);
// The same in curly quotes, for messages that always quote: the escaped form needs none.
std::string quotedName(const std::string& name);

// Thrown when the caller's stop token asks an engine operation to stop.
class Cancelled : public std::exception
{
public:
    const char* what() const noexcept override { return "The operation was cancelled."; }
};

// A file-system failure that passes through the engine (creating an output folder).
class FileSystemError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace lumafold
