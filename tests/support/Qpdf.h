// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumafold::test {

struct ProcessResult
{
    int exitCode = -1;
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs a program without a shell and collects what it prints.
ProcessResult runProcess(const std::vector<std::string>& argv);

// The independent PDF parser the tests check outputs with.
namespace qpdf {
bool checkPasses(const std::filesystem::path& pdf);
// Encrypts with AES-256; an empty user password gives an owner-password-only file.
void encrypt(const std::filesystem::path& in, const std::filesystem::path& out, const std::string& userPassword,
             const std::string& ownerPassword);
} // namespace qpdf

} // namespace lumafold::test
