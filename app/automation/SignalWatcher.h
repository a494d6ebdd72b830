// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <atomic>
#include <csignal>

namespace lumafold {

// Takes SIGINT, SIGTERM and SIGHUP out of their default, deadly handling and makes them
// readable from fd() instead, so that a stop can be orderly: running work is cancelled and its
// files removed. Construct it before any thread starts, so that every thread inherits the block.
//
// Every signal is taken for as long as the watcher lives, not just the first: one left pending
// would kill the program the moment the block is lifted, before it reports anything.
class SignalWatcher
{
public:
    SignalWatcher();
    // Takes whatever is still pending, then lifts the block.
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

    // False when the signals could not be watched; they then keep their default handling rather
    // than being silently ignored.
    bool watching() const { return m_fd >= 0; }
    // Non-blocking; readable while a signal is pending.
    int fd() const { return m_fd; }
    // Reads every pending signal. Returns the first signal ever taken, 0 while there was none.
    int take();
    int first() const { return m_first; }

private:
    int m_fd = -1;
    std::atomic<int> m_first{0};
    sigset_t m_previous{};
};

} // namespace lumafold
