// SPDX-License-Identifier: AGPL-3.0-or-later
#include "support/Qpdf.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumafold::test {

namespace {
std::string drain(int fd)
{
    std::string text;
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}
} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv)
{
    // Standard error goes to an unnamed file, so a program that fills both streams cannot block
    // on the one not being read.
    int out[2];
    const int err = memfd_create("stderr", MFD_CLOEXEC);
    if (err < 0 || pipe2(out, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot capture output");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    ProcessResult result;
    if (spawned == 0) {
        result.output = drain(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        lseek(err, 0, SEEK_SET);
        result.errors = drain(err);
    }
    close(out[0]);
    close(err);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
    return result;
}

namespace qpdf {

bool checkPasses(const std::filesystem::path& pdf)
{
    // Exit 0: no errors, no warnings.
    return runProcess({QPDF_EXECUTABLE, "--check", pdf.string()}).exitCode == 0;
}

nlohmann::json json(const std::filesystem::path& pdf)
{
    const auto result = runProcess({QPDF_EXECUTABLE, "--json=2", pdf.string()});
    if (result.exitCode != 0 && result.exitCode != 3) {
        throw std::runtime_error("qpdf --json failed: " + result.errors);
    }
    return nlohmann::json::parse(result.output);
}

void encrypt(const std::filesystem::path& in, const std::filesystem::path& out, const std::string& userPassword,
             const std::string& ownerPassword)
{
    const auto result =
        runProcess({QPDF_EXECUTABLE, "--encrypt", userPassword, ownerPassword, "256", "--", in.string(), out.string()});
    if (result.exitCode != 0) {
        throw std::runtime_error("qpdf --encrypt failed: " + result.errors);
    }
}

} // namespace qpdf
} // namespace lumafold::test
