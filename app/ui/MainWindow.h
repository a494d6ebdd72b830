// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QMainWindow>

namespace lumafold {

class AppModel;
class ContentView;

// The program's one window, around the workspace's content.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(AppModel& model, QWidget* parent = nullptr);

    ContentView* contentView() const { return m_content; }

private:
    ContentView* m_content;
};

} // namespace lumafold
