// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/engine/FzContext.h"

#include "core/engine/PdfShim.h"

#include <array>
#include <mutex>
#include <new>

extern "C" {
#include <mupdf/fitz.h>
}

namespace lumafold::engine {

namespace {

std::array<std::mutex, FZ_LOCK_MAX>& lockTable()
{
    // Never destroyed: clones on pool threads may outlive static destruction order.
    static auto* locks = new std::array<std::mutex, FZ_LOCK_MAX>();
    return *locks;
}

void lockCallback(void*, int lock) noexcept
{
    lockTable()[static_cast<size_t>(lock)].lock();
}

void unlockCallback(void*, int lock) noexcept
{
    lockTable()[static_cast<size_t>(lock)].unlock();
}

fz_context* baseContext()
{
    // Intentionally kept for the life of the process: every thread's clone shares its store.
    static fz_context* base = [] {
        static fz_locks_context locks{nullptr, lockCallback, unlockCallback};
        fz_context* ctx = fz_new_context(nullptr, &locks, FZ_STORE_DEFAULT);
        if (!ctx) {
            throw std::bad_alloc();
        }
        lf_silence(ctx);
        if (lf_register_handlers(ctx) != 0) {
            throw std::bad_alloc();
        }
        return ctx;
    }();
    return base;
}

struct ThreadContext
{
    fz_context* ctx = nullptr;
    ~ThreadContext() { fz_drop_context(ctx); }
};

} // namespace

fz_context* threadContext()
{
    thread_local ThreadContext local;
    if (!local.ctx) {
        local.ctx = fz_clone_context(baseContext());
        if (!local.ctx) {
            throw std::bad_alloc();
        }
        lf_silence(local.ctx);
    }
    return local.ctx;
}

} // namespace lumafold::engine
