// SPDX-License-Identifier: AGPL-3.0-or-later
// `lumafold`, the program users and scripts start. It links no Qt: `lumafold combine` runs here
// with nothing but the engine loaded, and everything else (the session-bus service, desktop
// notifications, the window) is handed to the Qt half, lumafold-desktop, with the same arguments.
#include "Version.h"
#include "automation/CombineCommand.h"
#include "automation/ProcessSetup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::filesystem::path desktopProgram()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto folder = self.parent_path();
    // Beside this program in the build tree; in libexec once installed.
    for (const auto& candidate :
         {folder / "lumafold-desktop", folder / LUMAFOLD_LIBEXEC_FROM_BIN / "lumafold-desktop"}) {
        if (!error && access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    lumafold::prepareProcess();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto desktop = desktopProgram();
    // Without its Qt half this is not a bundle, so the build's own version is the answer to
    // --version; with it, the Qt half answers, as it reads the bundle's.
    if (!args.empty() && args.front() == "combine" &&
        (desktop.empty() || !lumafold::combineNeedsDesktop({args.begin() + 1, args.end()}))) {
        return lumafold::runCombineCommand({args.begin() + 1, args.end()}, std::cout, std::cerr);
    }
    if (desktop.empty() && args.size() == 1 && args.front() == "--version") {
        std::printf("Lumafold %s\n", lumafold::buildVersion);
        return 0;
    }
    if (!desktop.empty()) {
        execv(desktop.c_str(), argv);
    }
    std::fprintf(stderr, "lumafold: the desktop part of the program (lumafold-desktop) could not be started: %s\n",
                 desktop.empty() ? "it is not installed" : std::strerror(errno));
    return 127;
}
