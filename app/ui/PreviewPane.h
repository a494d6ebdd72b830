// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QStackedWidget;

namespace lumafold {

class AppModel;
class EmptyStateView;
class PDFPreview;

// The middle pane: the document the arrangement produces, as it will be exported, with its size
// and a few figures.
class PreviewPane : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewPane(AppModel& model, QWidget* parent = nullptr);

private:
    QWidget* makeContent();
    QWidget* makeMetricsRow();
    // One figure of the metrics row: a caption above a value; returns the value's label.
    QLabel* metric(const QString& title, QLayout* row);
    void showContent();
    void showMetrics();

    AppModel& m_model;
    QLabel* m_byteSize;
    QStackedWidget* m_content;
    PDFPreview* m_document;
    QWidget* m_preparing;
    EmptyStateView* m_unavailable;
    EmptyStateView* m_placeholder;
    QLabel* m_outputValue;
    QLabel* m_documentsValue;
    QWidget* m_rotatedBadge;
};

} // namespace lumafold
