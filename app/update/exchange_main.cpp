// SPDX-License-Identifier: AGPL-3.0-or-later
// lumafold-exchange A B: makes A and B trade places in one step, so that a bundle being replaced
// is never missing, not even for a moment. Exit status 0: done; 1: failed, nothing changed;
// 2: the file system cannot do it in one step.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <stdio.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fputs("usage: lumafold-exchange PATH OTHER_PATH\n", stderr);
        return 1;
    }
    if (::renameat2(AT_FDCWD, argv[1], AT_FDCWD, argv[2], RENAME_EXCHANGE) == 0) {
        return 0;
    }
    std::perror("lumafold-exchange");
    return errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ? 2 : 1;
}
