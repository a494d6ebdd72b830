// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/ProcessSetup.h"

#include <csignal>
#include <initializer_list>
#include <pthread.h>
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
    // A window started by the bus service inherits the signals that service blocks to watch
    // them; blocked, they would leave the window running after the session ends.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stopSignals, signal);
    }
    pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
}

} // namespace lumafold
