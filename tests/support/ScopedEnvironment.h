// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace lumafold::test {

// Sets (or, given nothing, removes) an environment variable while it lives; the previous value, or
// its absence, comes back.
class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable(const char* name, const std::optional<std::string>& value) : m_name(name)
    {
        if (const char* previous = std::getenv(name)) {
            m_previous = previous;
        }
        set(name, value);
    }
    ~ScopedEnvironmentVariable() { set(m_name, m_previous); }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    static void set(const char* name, const std::optional<std::string>& value)
    {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }

    const char* m_name;
    std::optional<std::string> m_previous;
};

} // namespace lumafold::test
