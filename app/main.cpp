// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/Version.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Lumafold %s\n", lumafold::projectVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: lumafold [--version] [--help]\n");
            return 0;
        }
    }
    std::fprintf(stderr, "lumafold: the window is not available in this build yet; try --version.\n");
    return 1;
}
