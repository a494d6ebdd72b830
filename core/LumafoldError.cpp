// SPDX-License-Identifier: AGPL-3.0-or-later
#include "lumafold/LumafoldError.h"

#include <algorithm>
#include <cstdio>

namespace lumafold {

namespace {
std::string nameOf(const std::filesystem::path& path)
{
    // A location given with a trailing slash still names its last component.
    return displayName(path.has_filename() ? path.filename().string() : path.parent_path().filename().string());
}

bool isControl(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}
} // namespace

std::string displayName(const std::string& name)
{
    if (!name.starts_with('"') &&
        std::none_of(name.begin(), name.end(), [](char c) { return isControl(static_cast<unsigned char>(c)); })) {
        return name;
    }
    std::string shown = "\"";
    for (const char c : name) {
        switch (c) {
        case '\n':
            shown += "\\n";
            break;
        case '\t':
            shown += "\\t";
            break;
        case '\r':
            shown += "\\r";
            break;
        case '"':
        case '\\':
            shown += '\\';
            shown += c;
            break;
        default:
            if (isControl(static_cast<unsigned char>(c))) {
                char octal[5];
                std::snprintf(octal, sizeof octal, "\\%03o", static_cast<unsigned char>(c));
                shown += octal;
            } else {
                shown += c;
            }
        }
    }
    return shown + "\"";
}

std::string quotedName(const std::string& name)
{
    const auto shown = displayName(name);
    return shown == name ? "\u201C" + name + "\u201D" : shown;
}

LumafoldError::LumafoldError(Kind kind, std::filesystem::path path, std::int64_t index, std::string text)
    : m_kind(kind), m_path(std::move(path)), m_index(index), m_text(std::move(text))
{
    m_description = errorDescription();
}

LumafoldError LumafoldError::cannotRead(std::filesystem::path path)
{
    return {Kind::cannotRead, std::move(path), 0, {}};
}

LumafoldError LumafoldError::tooManyOpenFiles(std::filesystem::path path)
{
    return {Kind::tooManyOpenFiles, std::move(path), 0, {}};
}

LumafoldError LumafoldError::encrypted(std::filesystem::path path)
{
    return {Kind::encrypted, std::move(path), 0, {}};
}

LumafoldError LumafoldError::emptyDocument(std::filesystem::path path)
{
    return {Kind::emptyDocument, std::move(path), 0, {}};
}

LumafoldError LumafoldError::missingPage(std::filesystem::path path, std::int64_t index)
{
    return {Kind::missingPage, std::move(path), index, {}};
}

LumafoldError LumafoldError::invalidRange(std::string text)
{
    return {Kind::invalidRange, {}, 0, std::move(text)};
}

LumafoldError LumafoldError::destinationExists(std::filesystem::path path)
{
    return {Kind::destinationExists, std::move(path), 0, {}};
}

LumafoldError LumafoldError::verificationFailed(std::string reason)
{
    return {Kind::verificationFailed, {}, 0, std::move(reason)};
}

LumafoldError LumafoldError::noPages()
{
    return {Kind::noPages, {}, 0, {}};
}

LumafoldError LumafoldError::cannotWrite(std::string reason)
{
    return {Kind::cannotWrite, {}, 0, std::move(reason)};
}

std::string LumafoldError::errorDescription() const
{
    if (m_kind == Kind::cannotWrite && !m_text.empty()) {
        return summary() + " " + m_text + ".";
    }
    return summary();
}

std::string LumafoldError::summary() const
{
    switch (m_kind) {
    case Kind::cannotRead:
        return nameOf(m_path) + " could not be read.";
    case Kind::tooManyOpenFiles:
        return nameOf(m_path) + " could not be opened: the system's limit of open files was reached.";
    case Kind::encrypted:
        return "Unlock " + nameOf(m_path) + " before adding it.";
    case Kind::emptyDocument:
        return nameOf(m_path) + " has no pages.";
    case Kind::missingPage:
        return "Page " + std::to_string(m_index + 1) + " is missing from " + nameOf(m_path) + ".";
    case Kind::invalidRange:
        return "\u201C" + m_text + "\u201D is not a valid page range. Use values such as 1-3, 5, 8-10.";
    case Kind::destinationExists:
        return nameOf(m_path) + " already exists.";
    case Kind::verificationFailed:
        return "The new PDF failed verification: " + m_text + ".";
    case Kind::noPages:
        return "Add at least one page before exporting.";
    case Kind::cannotWrite:
        return "The new PDF could not be written.";
    }
    return {};
}

} // namespace lumafold
