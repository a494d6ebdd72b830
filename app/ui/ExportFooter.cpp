// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/ExportFooter.h"

#include "model/AppModel.h"
#include "ui/Icons.h"
#include "ui/Style.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace lumafold {

namespace {

QVBoxLayout* stateColumn(QWidget* state)
{
    auto* column = new QVBoxLayout(state);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    return column;
}

QPushButton* largeProminentButton(const QString& symbol, QWidget* parent)
{
    auto* button = new QPushButton(Icons::symbol(symbol, QPalette::HighlightedText), {}, parent);
    Style::makeProminent(button);
    button->setMinimumHeight(36);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

} // namespace

ExportFooter::ExportFooter(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("exportFooter"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    m_states = new QStackedWidget(this);
    m_exporting = makeExporting();
    m_finished = makeFinished();
    m_ready = makeReady();
    for (QWidget* state : {m_exporting, m_finished, m_ready}) {
        m_states->addWidget(state);
    }
    column->addWidget(m_states);

    for (const auto signal :
         {&AppModel::isExportingChanged, &AppModel::lastOutputURLsChanged, &AppModel::exportModeChanged,
          &AppModel::splitChunkSizeChanged, &AppModel::pagesChanged, &AppModel::selectionChanged,
          &AppModel::outputNameChanged, &AppModel::outputFolderChanged}) {
        connect(&model, signal, this, &ExportFooter::refresh);
    }
    refresh();
}

QString ExportFooter::exportTitle(const AppModel& model)
{
    switch (model.exportMode()) {
    case PagesExportMode::combined:
        return tr("Create PDF");
    case PagesExportMode::selected: {
        const qsizetype count = model.selection().size();
        return count == 1 ? tr("Extract 1 Page") : tr("Extract %1 Pages").arg(count);
    }
    case PagesExportMode::split: {
        const double chunk = static_cast<double>(std::max<qint64>(1, model.splitChunkSize()));
        const auto files = static_cast<qint64>(std::ceil(static_cast<double>(model.pages().size()) / chunk));
        return tr("Create %1 PDFs").arg(files);
    }
    }
    return {};
}

QWidget* ExportFooter::makeExporting()
{
    auto* state = new QWidget(this);
    state->setObjectName(QStringLiteral("exportingState"));
    QVBoxLayout* column = stateColumn(state);
    auto* bar = new QProgressBar(state);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    auto* label = new QLabel(tr("Creating PDFs…"), state);
    label->setAlignment(Qt::AlignCenter);
    auto* cancel = new QPushButton(tr("Cancel"), state);
    cancel->setObjectName(QStringLiteral("cancelExportButton"));
    connect(cancel, &QPushButton::clicked, &m_model, &AppModel::cancelExport);
    column->addWidget(bar);
    column->addWidget(label);
    column->addWidget(cancel, 0, Qt::AlignHCenter);
    return state;
}

QWidget* ExportFooter::makeFinished()
{
    auto* state = new QWidget(this);
    state->setObjectName(QStringLiteral("finishedState"));
    QVBoxLayout* column = stateColumn(state);
    m_reveal = largeProminentButton(QStringLiteral("folder"), state);
    m_reveal->setObjectName(QStringLiteral("revealOutputButton"));
    connect(m_reveal, &QPushButton::clicked, &m_model, &AppModel::revealOutput);
    auto* again = new QPushButton(tr("Export Again"), state);
    again->setObjectName(QStringLiteral("exportAgainButton"));
    Style::makeLink(again);
    connect(again, &QPushButton::clicked, &m_model, &AppModel::exportPages);
    column->addWidget(m_reveal);
    column->addWidget(again, 0, Qt::AlignHCenter);
    return state;
}

QWidget* ExportFooter::makeReady()
{
    auto* state = new QWidget(this);
    state->setObjectName(QStringLiteral("readyState"));
    QVBoxLayout* column = stateColumn(state);
    m_export = largeProminentButton(QStringLiteral("square.and.arrow.down"), state);
    m_export->setObjectName(QStringLiteral("exportButton"));
    connect(m_export, &QPushButton::clicked, &m_model, &AppModel::exportPages);
    m_validation = new QLabel(state);
    m_validation->setObjectName(QStringLiteral("validationMessage"));
    m_validation->setAlignment(Qt::AlignCenter);
    m_validation->setWordWrap(true);
    Style::setTextStyle(m_validation, Style::Text::caption);
    QPalette palette = m_validation->palette();
    palette.setColor(QPalette::WindowText, QColor(0xe6, 0x7e, 0x22));
    m_validation->setPalette(palette);
    column->addWidget(m_export);
    column->addWidget(m_validation);
    return state;
}

void ExportFooter::refresh()
{
    if (m_model.isExporting()) {
        m_states->setCurrentWidget(m_exporting);
    } else if (!m_model.lastOutputURLs().isEmpty()) {
        m_reveal->setText(m_model.lastOutputURLs().size() == 1 ? tr("Show PDF in File Manager")
                                                               : tr("Show PDFs in File Manager"));
        m_states->setCurrentWidget(m_finished);
    } else {
        m_export->setText(exportTitle(m_model));
        m_export->setEnabled(m_model.canExport());
        const auto message = m_model.validationMessage();
        m_validation->setText(message.value_or(QString()));
        m_validation->setVisible(message.has_value());
        m_states->setCurrentWidget(m_ready);
    }
}

} // namespace lumafold
