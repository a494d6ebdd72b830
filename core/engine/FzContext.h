// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

struct fz_context;

namespace lumafold::engine {

// The calling thread's own MuPDF context, cloned on first use from one process-wide base
// context that carries the lock callbacks. Library warnings and errors are silenced.
// Callable from any thread; never pass the result to another thread.
fz_context* threadContext();

} // namespace lumafold::engine
