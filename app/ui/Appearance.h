// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

class QApplication;

namespace lumafold::Appearance {

// Follows the desktop's light or dark preference where the platform theme does not already
// (KDE's does): reads the settings portal's colour scheme and keeps listening for changes.
void followDesktop(QApplication& application);

// Fusion with a light or a dark palette.
void applyColorScheme(QApplication& application, bool dark);

} // namespace lumafold::Appearance
