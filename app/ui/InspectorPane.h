// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QVBoxLayout;

namespace lumafold {

class AppModel;
class ExportFooter;

// The right pane: editing the selection, choosing pages by position, the export settings and
// the export button.
class InspectorPane : public QWidget
{
    Q_OBJECT

public:
    explicit InspectorPane(AppModel& model, QWidget* parent = nullptr);

private:
    QWidget* makeSettings();
    QVBoxLayout* section(const QString& title, QVBoxLayout* parent);
    void addSelectionTools(QVBoxLayout* section);
    void addExportSettings(QVBoxLayout* section);
    QPushButton* button(const QString& text, const QString& symbol, const QString& name);
    void bindExportSettings();
    void showSelectionState();
    void showExportSettings();

    AppModel& m_model;
    QScrollArea* m_scroll;
    QList<QPushButton*> m_selectionButtons;
    QLineEdit* m_pageRange;
    QPushButton* m_selectRange;
    QComboBox* m_mode;
    QWidget* m_chunkRow;
    QLabel* m_chunkLabel;
    QSpinBox* m_chunkSize;
    QLineEdit* m_outputName;
    QCheckBox* m_removeMetadata;
    QPushButton* m_folder;
    ExportFooter* m_footer;
};

} // namespace lumafold
