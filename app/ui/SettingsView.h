// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QDialog>

namespace lumafold {

class AppModel;
class Dialogs;

// The preferences window; for now its About section: the version and where to find the maker.
class SettingsView : public QDialog
{
    Q_OBJECT

public:
    SettingsView(const AppModel& model, Dialogs& dialogs, QWidget* parent = nullptr);
};

} // namespace lumafold
