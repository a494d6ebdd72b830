// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

struct fz_context;

namespace lumafold::mupdf {

// The calling thread's own MuPDF context, made on first use and shared with no other thread.
// Library warnings and errors are silenced. Callable from any thread; never pass the result,
// or anything made with it, to another thread.
fz_context* threadContext();

} // namespace lumafold::mupdf
