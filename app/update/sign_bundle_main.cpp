// SPDX-License-Identifier: AGPL-3.0-or-later
// lumafold-sign-bundle BUNDLE PRIVATE_KEY.pem: signs a bundle for release and prints the public
// half of the key, which must be the one the program trusts.
#include "update/BundleSignature.h"

#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: lumafold-sign-bundle BUNDLE PRIVATE_KEY.pem\n", stderr);
        return 2;
    }
    try {
        std::ifstream keyFile(argv[2], std::ios::binary);
        const std::string pem(std::istreambuf_iterator<char>(keyFile), {});
        lumafold::BundleSignature::sign(argv[1], pem);
        const auto key = lumafold::BundleSignature::publicKeyOf(pem);
        std::printf("Signed %s with the key whose public half is ", argv[1]);
        for (const unsigned char byte : key) {
            std::printf("%02x", byte);
        }
        std::puts(key == lumafold::BundleSignature::makerKey ? " (the key the program trusts)."
                                                             : " (NOT the key the program trusts).");
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumafold-sign-bundle: %s\n", error.what());
        return 1;
    }
}
