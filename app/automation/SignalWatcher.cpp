// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/SignalWatcher.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace lumafold {

namespace {

sigset_t stopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&signals, signal);
    }
    return signals;
}

} // namespace

SignalWatcher::SignalWatcher()
{
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, &m_previous);
    m_fd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (m_fd < 0) {
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
}

SignalWatcher::~SignalWatcher()
{
    if (m_fd < 0) {
        return;
    }
    take();
    ::close(m_fd);
    pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
}

int SignalWatcher::take()
{
    signalfd_siginfo info{};
    while (m_fd >= 0 && ::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        int none = 0;
        m_first.compare_exchange_strong(none, static_cast<int>(info.ssi_signo));
    }
    return m_first;
}

} // namespace lumafold
