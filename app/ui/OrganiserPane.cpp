// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/OrganiserPane.h"

#include "model/AppModel.h"
#include "ui/EmptyStateView.h"
#include "ui/PageGridView.h"
#include "ui/Style.h"

#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace lumafold {

OrganiserPane::OrganiserPane(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("organiser"));
    m_selectAll = new QPushButton(tr("Select All"), this);
    m_selectAll->setObjectName(QStringLiteral("selectAllButton"));
    Style::makeLink(m_selectAll);
    connect(m_selectAll, &QPushButton::clicked, &model, &AppModel::selectAll);
    QVBoxLayout* column = Style::paneColumn(this, tr("Pages"), QStringLiteral("rectangle.grid.2x2"), m_selectAll);

    m_content = new QStackedWidget(this);
    m_empty = new EmptyStateView(QStringLiteral("doc.on.doc"), tr("Drop PDFs here"), m_content);
    m_empty->setObjectName(QStringLiteral("organiserEmptyState"));
    m_empty->setDescription(tr("Add files or folders. Their pages become one visual workspace."));
    QPushButton* choose = m_empty->addAction(tr("Choose PDFs…"));
    choose->setObjectName(QStringLiteral("choosePdfsButton"));
    connect(choose, &QPushButton::clicked, &model, &AppModel::choosePDFs);
    m_grid = new PageGridView(model, m_content);
    m_content->addWidget(m_empty);
    m_content->addWidget(m_grid);
    column->addWidget(m_content, 1);

    connect(&model, &AppModel::pagesChanged, this, &OrganiserPane::refresh);
    refresh();
}

void OrganiserPane::refresh()
{
    const bool empty = m_model.pages().isEmpty();
    m_selectAll->setEnabled(!empty);
    m_content->setCurrentWidget(empty ? static_cast<QWidget*>(m_empty) : m_grid);
}

} // namespace lumafold
