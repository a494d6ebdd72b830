// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/ProcessSetup.h"

#include <csignal>
#include <sys/resource.h>

namespace lumafold {

void prepareProcess()
{
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace lumafold
