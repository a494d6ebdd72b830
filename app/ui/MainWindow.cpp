// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/MainWindow.h"

#include "ui/ContentView.h"

namespace lumafold {

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Lumafold"));
    m_content = new ContentView(model, this);
    setCentralWidget(m_content);
    // Room for each pane at its ideal width.
    resize(1360, 820);
}

} // namespace lumafold
