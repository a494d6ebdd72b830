// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QWidget>

class QPushButton;
class QStackedWidget;

namespace lumafold {

class AppModel;
class EmptyStateView;
class PageGridView;

// The left pane: the grid of page cards, or an invitation to add files while there are none.
class OrganiserPane : public QWidget
{
    Q_OBJECT

public:
    explicit OrganiserPane(AppModel& model, QWidget* parent = nullptr);

    PageGridView* grid() const { return m_grid; }

private:
    void refresh();

    AppModel& m_model;
    QPushButton* m_selectAll;
    QStackedWidget* m_content;
    EmptyStateView* m_empty;
    PageGridView* m_grid;
};

} // namespace lumafold
