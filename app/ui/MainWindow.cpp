// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/MainWindow.h"

#include "model/AppModel.h"
#include "ui/ContentView.h"
#include "ui/LumafoldDelegate.h"
#include "ui/SettingsView.h"

#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QMenuBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lumafold {

MainWindow::MainWindow(AppModel& model, LumafoldDelegate& delegate, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), m_model(model), m_delegate(delegate), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Lumafold"));
    m_content = new ContentView(model, this);
    setCentralWidget(m_content);
    buildFileMenu();
    buildEditMenu();
    buildHelpMenu();
    for (const auto signal :
         {&AppModel::pagesChanged, &AppModel::selectionChanged, &AppModel::isExportingChanged,
          &AppModel::exportModeChanged, &AppModel::outputNameChanged, &AppModel::availableUpdateChanged}) {
        connect(&model, signal, this, &MainWindow::refreshCommands);
    }
    refreshCommands();
    // Closing the last window quits, after the quit guard's say.
    connect(&model, &AppModel::terminationRequested, this, &QWidget::close);
    // Room for each pane at its ideal width.
    resize(1360, 820);
}

QAction* MainWindow::addAction(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(key);
    return action;
}

void MainWindow::buildFileMenu()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    m_addFiles = addAction(file, QStringLiteral("actionAddFiles"), tr("Add PDFs or Folders…"),
                           QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(m_addFiles, &QAction::triggered, &m_model, &AppModel::choosePDFs);
    m_insertBlank = addAction(file, QStringLiteral("actionInsertBlankPage"), tr("Insert Blank Page"));
    connect(m_insertBlank, &QAction::triggered, &m_model, &AppModel::insertBlankPage);
    file->addSeparator();
    m_selectAll = addAction(file, QStringLiteral("actionSelectAllPages"), tr("Select All Pages"),
                            QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(m_selectAll, &QAction::triggered, &m_model, &AppModel::selectAll);
    m_removeSelected = addAction(file, QStringLiteral("actionRemoveSelectedPages"), tr("Remove Selected Pages"),
                                 QKeySequence(Qt::Key_Delete));
    connect(m_removeSelected, &QAction::triggered, &m_model, &AppModel::removeSelected);
    m_removeAll = addAction(file, QStringLiteral("actionRemoveAllPages"), tr("Remove All Pages"));
    connect(m_removeAll, &QAction::triggered, &m_model, &AppModel::removeAll);
    file->addSeparator();
    m_export =
        addAction(file, QStringLiteral("actionExportPdf"), tr("Export PDF…"), QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(m_export, &QAction::triggered, &m_model, &AppModel::exportPages);
    file->addSeparator();
    QAction* quit = addAction(file, QStringLiteral("actionQuit"), tr("Quit"), QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);
}

void MainWindow::buildEditMenu()
{
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    // The header's undo and redo, so that one action carries each shortcut.
    edit->addAction(findChild<QAction*>(QStringLiteral("actionUndo")));
    edit->addAction(findChild<QAction*>(QStringLiteral("actionRedo")));
    edit->addSeparator();
    QAction* preferences = addAction(edit, QStringLiteral("actionPreferences"), tr("Preferences…"),
                                     QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(preferences, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::buildHelpMenu()
{
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* shortcuts = addAction(help, QStringLiteral("actionKeyboardShortcuts"), tr("Keyboard Shortcuts"));
    shortcuts->setShortcuts({QKeySequence(QStringLiteral("Ctrl+?")), QKeySequence(QStringLiteral("Ctrl+Shift+?"))});
    connect(shortcuts, &QAction::triggered, this, &MainWindow::showShortcuts);
    help->addSeparator();
    QAction* feedback = addAction(help, QStringLiteral("actionFeedback"), tr("Lumafold Feedback…"));
    connect(feedback, &QAction::triggered, this, [this] { m_dialogs.openUrl(m_model.feedbackURL()); });
    m_update = addAction(help, QStringLiteral("actionUpdate"), {});
    connect(m_update, &QAction::triggered, &m_model, &AppModel::promptForUpdate);
    QAction* check = addAction(help, QStringLiteral("actionCheckForUpdates"), tr("Check for Updates…"));
    connect(check, &QAction::triggered, &m_model, &AppModel::checkForUpdatesManually);
    help->addSeparator();
    QAction* about = addAction(help, QStringLiteral("actionAbout"), tr("About Lumafold"));
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::refreshCommands()
{
    const bool exporting = m_model.isExporting();
    const bool empty = m_model.pages().isEmpty();
    m_addFiles->setEnabled(!exporting);
    m_insertBlank->setEnabled(!exporting);
    m_selectAll->setEnabled(!empty);
    m_removeSelected->setEnabled(!m_model.selection().isEmpty() && !exporting);
    m_removeAll->setEnabled(!empty && !exporting);
    m_export->setEnabled(m_model.canExport());
    const auto& update = m_model.availableUpdate();
    m_update->setVisible(update.has_value());
    if (update) {
        m_update->setText(tr("Update to %1…").arg(QString::fromStdString(update->version)));
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_delegate.shouldTerminate()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::showShortcuts()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("shortcutsDialog"));
    dialog.setWindowTitle(tr("Keyboard Shortcuts"));
    auto* list = new QTreeWidget(&dialog);
    list->setColumnCount(2);
    list->setHeaderLabels({tr("Command"), tr("Shortcut")});
    list->setRootIsDecorated(false);
    const auto row = [list](const QString& command, const QString& keys) {
        new QTreeWidgetItem(list, {QString(command).remove(QLatin1Char('&')), keys});
    };
    for (QAction* menu : menuBar()->actions()) {
        for (const QAction* action : menu->menu()->actions()) {
            if (!action->shortcut().isEmpty()) {
                row(action->text(), action->shortcut().toString(QKeySequence::NativeText));
            }
        }
    }
    row(tr("Move between pages"), tr("Arrow keys"));
    row(tr("Select the current page"), tr("Space"));
    row(tr("Add or remove the current page from the selection"),
        QKeySequence(QStringLiteral("Ctrl+Space")).toString(QKeySequence::NativeText));
    row(tr("Move the current page one place"),
        QKeySequence(QStringLiteral("Alt+Left")).toString(QKeySequence::NativeText) + QStringLiteral(" / ") +
            QKeySequence(QStringLiteral("Alt+Right")).toString(QKeySequence::NativeText));
    row(tr("Page menu"), QKeySequence(QStringLiteral("Shift+F10")).toString(QKeySequence::NativeText));
    list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* column = new QVBoxLayout(&dialog);
    column->addWidget(list);
    column->addWidget(buttons);
    dialog.resize(560, 460);
    dialog.exec();
}

void MainWindow::showAbout()
{
    if (!m_settings) {
        m_settings = new SettingsView(m_model, m_dialogs, this);
    }
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

} // namespace lumafold
