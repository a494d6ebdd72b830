// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

namespace lumafold {

// Done first thing in both programs. Raises the soft limit on open files to the hard one, as
// combining many files keeps many open, and turns SIGXFSZ into a plain write error, so that a
// file-size limit is reported as such instead of killing the program with a side file left over.
// SIGINT, SIGTERM and SIGHUP are unblocked, whatever the parent had blocked.
void prepareProcess();

} // namespace lumafold
