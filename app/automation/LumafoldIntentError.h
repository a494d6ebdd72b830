// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <exception>
#include <string>

namespace lumafold {

// Failures of the "Combine PDFs" action that are not the engine's or the file system's.
class LumafoldIntentError : public std::exception
{
public:
    enum class Kind
    {
        noInput,
    };

    static LumafoldIntentError noInput() { return LumafoldIntentError(Kind::noInput); }

    Kind kind() const { return m_kind; }
    std::string errorDescription() const { return what(); }
    const char* what() const noexcept override
    {
        switch (m_kind) {
        case Kind::noInput:
            return "Choose at least one PDF.";
        }
        return "";
    }

private:
    explicit LumafoldIntentError(Kind kind) : m_kind(kind) {}
    Kind m_kind;
};

} // namespace lumafold
