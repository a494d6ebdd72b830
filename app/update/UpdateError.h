// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <exception>

namespace lumafold {

// Why an update could not be installed. The caller shows one message for all of them; the
// kinds tell the program (and its tests) which check refused the update.
class UpdateError : public std::exception
{
public:
    enum class Kind
    {
        download,
        unpack,
        notFound,
        badSignature,
        wrongApp,
        readOnlyLocation,
    };

    explicit UpdateError(Kind kind) : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    // For logs only: the user sees one message for every kind.
    const char* what() const noexcept override
    {
        static constexpr const char* names[] = {"download",     "unpack",   "notFound",
                                                "badSignature", "wrongApp", "readOnlyLocation"};
        return names[static_cast<int>(m_kind)];
    }
    bool operator==(const UpdateError& other) const { return m_kind == other.m_kind; }

private:
    Kind m_kind;
};

} // namespace lumafold
