// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

class QMessageBox;
class QMimeData;
class QSplitter;

namespace lumafold {

class AppModel;
class DropOverlay;
class HeaderBar;
class InspectorPane;
class OrganiserPane;
class PreviewPane;

// Everything the window shows: the header, the three panes and what lies over them (the drop
// overlay and the error alert). Draws the model and turns input into its operations.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int minimumWidth = 1120;
    static constexpr int minimumHeight = 720;

    explicit ContentView(AppModel& model, QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QSplitter* makeSplitView();
    // Takes a drag that carries files; anything else goes on to the widgets below.
    bool filterDrag(QEvent* event);
    bool handleDrop(const QMimeData* mime);
    void showError();

    AppModel& m_model;
    HeaderBar* m_header;
    OrganiserPane* m_organiser;
    PreviewPane* m_preview;
    InspectorPane* m_inspector;
    DropOverlay* m_dropOverlay;
    QPointer<QMessageBox> m_alert;
};

} // namespace lumafold
