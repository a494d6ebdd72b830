// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lumafold {

// `lumafold combine`: `args` are the arguments after "combine". Returns the exit status:
// 0 done, 1 the PDFs could not be combined, 2 a usage error, 128 + signal when SIGINT, SIGTERM
// or SIGHUP stopped it. Never reads standard input and needs no display.
int runCombineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace lumafold
