// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/ContentView.h"

#include "model/AppModel.h"
#include "ui/DropOverlay.h"
#include "ui/HeaderBar.h"
#include "ui/InspectorPane.h"
#include "ui/OrganiserPane.h"
#include "ui/PreviewPane.h"
#include "ui/Style.h"

#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QSplitter>
#include <QVBoxLayout>
#include <QWindow>

namespace lumafold {

namespace {

QList<QUrl> localFiles(const QMimeData* mime)
{
    QList<QUrl> files;
    if (mime && mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile()) {
                files << url;
            }
        }
    }
    return files;
}

} // namespace

ContentView::ContentView(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    setObjectName(QStringLiteral("contentView"));
    setMinimumSize(minimumWidth, minimumHeight);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    m_header = new HeaderBar(model, this);
    root->addWidget(m_header);
    root->addWidget(Style::divider(Qt::Horizontal, this));
    root->addWidget(makeSplitView(), 1);

    m_dropOverlay = new DropOverlay(this);
    connect(&model, &AppModel::isDropTargetedChanged, this, [this] {
        m_dropOverlay->setVisible(m_model.isDropTargeted());
        m_dropOverlay->raise();
    });
    connect(&model, &AppModel::errorMessageChanged, this, &ContentView::showError);
}

QSplitter* ContentView::makeSplitView()
{
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("splitView"));
    split->setChildrenCollapsible(false);
    split->setHandleWidth(1);
    m_organiser = new OrganiserPane(m_model, split);
    m_preview = new PreviewPane(m_model, split);
    m_inspector = new InspectorPane(m_model, split);
    m_organiser->setMinimumWidth(450);
    m_preview->setMinimumWidth(330);
    m_inspector->setMinimumWidth(300);
    m_inspector->setMaximumWidth(390);
    split->addWidget(m_organiser);
    split->addWidget(m_preview);
    split->addWidget(m_inspector);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 3);
    split->setStretchFactor(2, 0);
    split->setSizes({560, 430, 340});
    return split;
}

void ContentView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Drags reach the window before any widget, so files are taken wherever they are dropped.
    if (QWindow* handle = window()->windowHandle()) {
        handle->removeEventFilter(this);
        handle->installEventFilter(this);
    }
}

void ContentView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_dropOverlay->setGeometry(rect());
}

bool ContentView::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        return filterDrag(event);
    default:
        return QWidget::eventFilter(watched, event);
    }
}

bool ContentView::filterDrag(QEvent* event)
{
    if (event->type() == QEvent::DragLeave) {
        m_model.setIsDropTargeted(false);
        return false;
    }
    auto* drag = static_cast<QDropEvent*>(event);
    if (localFiles(drag->mimeData()).isEmpty()) {
        return false;
    }
    if (event->type() == QEvent::Drop) {
        m_model.setIsDropTargeted(false);
        if (handleDrop(drag->mimeData())) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    m_model.setIsDropTargeted(true);
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    return true;
}

bool ContentView::handleDrop(const QMimeData* mime)
{
    const QList<QUrl> files = localFiles(mime);
    // Each file is its own addition, made once the drop has been answered.
    for (const QUrl& file : files) {
        QMetaObject::invokeMethod(
            &m_model,
            [model = QPointer<AppModel>(&m_model), file] {
                if (model) {
                    model->add({file});
                }
            },
            Qt::QueuedConnection);
    }
    return !files.isEmpty();
}

void ContentView::showError()
{
    const auto& message = m_model.errorMessage();
    if (!message) {
        if (m_alert) {
            m_alert->close();
        }
        return;
    }
    if (!m_alert) {
        m_alert = new QMessageBox(QMessageBox::Warning, tr("Marlo Lumafold"), {}, QMessageBox::Ok, this);
        m_alert->setObjectName(QStringLiteral("errorAlert"));
        m_alert->setAttribute(Qt::WA_DeleteOnClose);
        m_alert->setWindowModality(Qt::WindowModal);
        connect(m_alert, &QMessageBox::finished, this, [this] { m_model.setErrorMessage(std::nullopt); });
        m_alert->open();
    }
    m_alert->setText(*message);
}

} // namespace lumafold
