// SPDX-License-Identifier: AGPL-3.0-or-later
// A fuzz target as a plain program: runs each file named on the command line through
// LLVMFuzzerTestOneInput once, so a corpus can be replayed without libFuzzer (under valgrind,
// for one). Exits non-zero when a file cannot be read.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 2;
        }
        const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("replayed %d inputs\n", argc - 1);
    return 0;
}
