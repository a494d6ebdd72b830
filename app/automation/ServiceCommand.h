// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lumafold {

// `lumafold --dbus-service [--idle-timeout SECONDS]`: the headless instance that D-Bus activation
// starts. Owns app.marlo.Lumafold (a window instance may take the name over) and exits once no
// call has arrived for the idle timeout, or when it loses the name. Needs no display.
int runAutomationService(const std::vector<std::string>& args, std::ostream& err);

} // namespace lumafold
