// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PreviewPane.h"

#include "model/AppModel.h"
#include "ui/EmptyStateView.h"
#include "ui/PDFPreview.h"
#include "ui/Style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <set>

namespace lumafold {

PreviewPane::PreviewPane(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("preview"));
    m_byteSize = new QLabel(this);
    m_byteSize->setObjectName(QStringLiteral("previewByteSize"));
    Style::setTextStyle(m_byteSize, Style::Text::caption);
    Style::makeSecondary(m_byteSize);
    QVBoxLayout* column = Style::paneColumn(this, tr("Result"), QStringLiteral("doc.richtext"), m_byteSize);
    column->addWidget(makeContent(), 1);
    column->addWidget(Style::divider(Qt::Horizontal, this));
    column->addWidget(makeMetricsRow());

    for (const auto signal :
         {&AppModel::previewResultChanged, &AppModel::isRenderingPreviewChanged, &AppModel::previewErrorChanged}) {
        connect(&model, signal, this, &PreviewPane::showContent);
    }
    connect(&model, &AppModel::pagesChanged, this, &PreviewPane::showMetrics);
    showContent();
    showMetrics();
}

QWidget* PreviewPane::makeContent()
{
    m_content = new QStackedWidget(this);
    m_content->setObjectName(QStringLiteral("previewContent"));
    m_content->setAutoFillBackground(true);
    m_content->setBackgroundRole(QPalette::Window);
    m_document = new PDFPreview(m_content);

    m_preparing = new QWidget(m_content);
    m_preparing->setObjectName(QStringLiteral("previewPreparing"));
    auto* preparing = new QVBoxLayout(m_preparing);
    preparing->addStretch();
    auto* bar = new QProgressBar(m_preparing);
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedWidth(160);
    auto* label = new QLabel(tr("Preparing result…"), m_preparing);
    Style::makeSecondary(label);
    preparing->addWidget(bar, 0, Qt::AlignHCenter);
    preparing->addWidget(label, 0, Qt::AlignHCenter);
    preparing->addStretch();

    m_unavailable =
        new EmptyStateView(QStringLiteral("exclamationmark.triangle"), tr("Preview unavailable"), m_content);
    m_unavailable->setObjectName(QStringLiteral("previewUnavailable"));
    m_placeholder = new EmptyStateView(QStringLiteral("doc.richtext"), tr("Your PDF"), m_content);
    m_placeholder->setObjectName(QStringLiteral("previewPlaceholder"));
    m_placeholder->setDescription(tr("The arranged pages will appear here."));
    for (QWidget* layer : {static_cast<QWidget*>(m_document), m_preparing, static_cast<QWidget*>(m_unavailable),
                           static_cast<QWidget*>(m_placeholder)}) {
        m_content->addWidget(layer);
    }
    return m_content;
}

QLabel* PreviewPane::metric(const QString& title, QLayout* row)
{
    auto* box = new QWidget(this);
    auto* lines = new QVBoxLayout(box);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(3);
    auto* caption = new QLabel(title, box);
    Style::setTextStyle(caption, Style::Text::caption);
    Style::makeSecondary(caption);
    auto* value = new QLabel(box);
    Style::setTextStyle(value, Style::Text::headline);
    lines->addWidget(caption);
    lines->addWidget(value);
    row->addWidget(box);
    return value;
}

QWidget* PreviewPane::makeMetricsRow()
{
    auto* metrics = new QWidget(this);
    metrics->setFixedHeight(72);
    auto* row = new QHBoxLayout(metrics);
    row->setContentsMargins(18, 0, 18, 0);
    row->setSpacing(20);
    m_outputValue = metric(tr("Output"), row);
    m_outputValue->setObjectName(QStringLiteral("outputMetric"));
    m_documentsValue = metric(tr("Documents"), row);
    m_documentsValue->setObjectName(QStringLiteral("documentsMetric"));
    row->addStretch();

    m_rotatedBadge = new QWidget(metrics);
    m_rotatedBadge->setObjectName(QStringLiteral("rotatedPagesBadge"));
    auto* badge = new QHBoxLayout(m_rotatedBadge);
    badge->setContentsMargins(0, 0, 0, 0);
    badge->setSpacing(4);
    auto* text = new QLabel(tr("Rotated pages"), m_rotatedBadge);
    Style::setTextStyle(text, Style::Text::caption);
    Style::makeSecondary(text);
    auto* icon = new Style::SymbolView(QStringLiteral("rotate.right"), text->fontMetrics().height(), m_rotatedBadge);
    icon->setColorRole(QPalette::PlaceholderText);
    badge->addWidget(icon);
    badge->addWidget(text);
    row->addWidget(m_rotatedBadge);
    return metrics;
}

void PreviewPane::showContent()
{
    const auto& result = m_model.previewResult();
    m_byteSize->setVisible(result.has_value());
    if (result) {
        m_byteSize->setText(
            QLocale().formattedDataSize(static_cast<qint64>(result->data.size()), 1, QLocale::DataSizeSIFormat));
        m_document->setData(result->data);
        m_content->setCurrentWidget(m_document);
    } else if (m_model.isRenderingPreview()) {
        m_content->setCurrentWidget(m_preparing);
    } else if (const auto& error = m_model.previewError()) {
        m_unavailable->setDescription(*error);
        m_content->setCurrentWidget(m_unavailable);
    } else {
        m_content->setCurrentWidget(m_placeholder);
    }
}

void PreviewPane::showMetrics()
{
    const PageList& pages = m_model.pages();
    std::set<std::filesystem::path> sources;
    bool rotated = false;
    for (const PageItem& page : pages) {
        if (page.descriptor.content.isSource()) {
            sources.insert(page.descriptor.content.sourcePage().path);
        }
        rotated = rotated || page.descriptor.rotation != 0;
    }
    m_outputValue->setText(tr("%1 pages").arg(pages.size()));
    m_documentsValue->setText(sources.size() == 1 ? tr("1 source") : tr("%1 sources").arg(sources.size()));
    m_rotatedBadge->setVisible(rotated);
}

} // namespace lumafold
