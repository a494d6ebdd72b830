// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/CombineCommand.h"
#include "automation/DesktopNotification.h"
#include "automation/ProcessSetup.h"
#include "automation/ServiceCommand.h"
#include "model/BundleInfo.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* usage = R"(Usage: lumafold [FILE]...
       lumafold combine [OPTION]... FILE...
       lumafold --dbus-service [--idle-timeout SECONDS]
       lumafold --help | --version

  combine         combine PDF files into one new PDF without opening a window
                  (see lumafold combine --help)
  --dbus-service  serve app.marlo.Lumafold on the session bus without a window,
                  exiting after SECONDS (default 10) without a call
)";

} // namespace

// The Qt half of the program: everything that needs the session bus or, later, the window. The
// `lumafold` front end hands over to it for anything it does not do itself.
int main(int argc, char** argv)
{
    lumafold::prepareProcess();
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Both headless modes stay ahead of anything that could create a GUI application object.
    if (!args.empty() && args.front() == "combine") {
        return lumafold::runCombineCommand({args.begin() + 1, args.end()}, std::cout, std::cerr,
                                           lumafold::showDesktopNotification,
                                           lumafold::BundleInfo::runningVersion().toStdString());
    }
    if (!args.empty() && args.front() == "--dbus-service") {
        return lumafold::runAutomationService({args.begin() + 1, args.end()}, std::cerr);
    }
    for (const auto& arg : args) {
        if (arg == "--version") {
            std::printf("Lumafold %s\n", qPrintable(lumafold::BundleInfo::runningVersion()));
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
    }
    // The window starts here, with its QApplication, once the application shell lands.
    std::fprintf(stderr, "lumafold: the window is not available in this build yet; try lumafold combine --help.\n");
    return 1;
}
