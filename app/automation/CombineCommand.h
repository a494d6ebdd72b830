// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "Version.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace lumafold {

// `lumafold combine`: `args` are the arguments after "combine". Returns the exit status:
// 0 done, 1 the PDFs could not be combined, 2 a usage error, 128 + signal when SIGINT, SIGTERM
// or SIGHUP stopped it. Never reads standard input and needs no display.
//
// `notify` shows the outcome as a desktop notification for --notify (summary, body, failed) and
// returns why it could not, or an empty text. Without one, --notify cannot be served.
// `version` is what --version prints.
using CombineNotifier = std::function<std::string(const std::string&, const std::string&, bool)>;
int runCombineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CombineNotifier& notify = {}, const std::string& version = buildVersion);

// Whether these `combine` arguments need the Qt half of the program: --notify, or --version,
// which a bundle's Info.plist answers (false for arguments that do not parse).
bool combineNeedsDesktop(const std::vector<std::string>& args);

} // namespace lumafold
