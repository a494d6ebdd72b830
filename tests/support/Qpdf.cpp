// SPDX-License-Identifier: AGPL-3.0-or-later
#include "support/Qpdf.h"

#include <spawn.h>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace lumafold::test {

namespace {
// The whole content of an unnamed file the child wrote to.
std::string drain(int fd)
{
    std::string text;
    char buffer[65536];
    ssize_t n;
    lseek(fd, 0, SEEK_SET);
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return text;
}
} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv)
{
    // Both streams go to unnamed files, so a program that fills one cannot block on it.
    const int out = memfd_create("stdout", MFD_CLOEXEC);
    const int err = memfd_create("stderr", MFD_CLOEXEC);
    if (out < 0 || err < 0) {
        throw std::runtime_error("cannot capture output");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) {
        close(out);
        close(err);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, drain(out), drain(err)};
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
