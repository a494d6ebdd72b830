// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QStackedWidget;

namespace lumafold {

class AppModel;

// The foot of the inspector: the export button, the progress of an export, or the way to the
// files just written.
class ExportFooter : public QWidget
{
    Q_OBJECT

public:
    explicit ExportFooter(AppModel& model, QWidget* parent = nullptr);

    // The export button's title for the model's mode and pages.
    static QString exportTitle(const AppModel& model);

private:
    QWidget* makeExporting();
    QWidget* makeFinished();
    QWidget* makeReady();
    void refresh();

    AppModel& m_model;
    QStackedWidget* m_states;
    QWidget* m_exporting;
    QWidget* m_finished;
    QWidget* m_ready;
    QPushButton* m_reveal;
    QPushButton* m_export;
    QLabel* m_validation;
};

} // namespace lumafold
