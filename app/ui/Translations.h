// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QString>

class QCoreApplication;

namespace lumafold {

// Installs, for the user's languages (LANGUAGE, then LC_ALL, LC_MESSAGES or LANG), Qt's own
// translations and the program's "lumafold_<language>.qm" from `folder`, where they exist.
// Returns whether the program's own was found; without one every text stays in English.
bool installTranslations(QCoreApplication& application, const QString& folder);

} // namespace lumafold
