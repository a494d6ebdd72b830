// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QWidget>

class QAction;
class QLabel;

namespace lumafold {

class AppModel;

// The bar across the top of the window: adding files, blank pages, undo and redo, and counters.
class HeaderBar : public QWidget
{
    Q_OBJECT

public:
    explicit HeaderBar(AppModel& model, QWidget* parent = nullptr);

private:
    void addBlankPageButton(QLayout* row);
    void refresh();

    AppModel& m_model;
    QAction* m_undo;
    QAction* m_redo;
    QLabel* m_pageCounter;
    QLabel* m_selectionCounter;
};

} // namespace lumafold
