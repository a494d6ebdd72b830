// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <string>

namespace lumafold {

// Shows a notification through org.freedesktop.Notifications on the session bus and waits for
// the server to take it. Returns an empty text on success, otherwise why it was not shown.
// Works with or without a QCoreApplication.
std::string showDesktopNotification(const std::string& summary, const std::string& body, bool isError);

} // namespace lumafold
