// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QPointer>

class QAction;

namespace lumafold {

class AppModel;
class ContentView;
class Dialogs;
class LumafoldDelegate;
class SettingsView;

// The program's one window: the workspace's content under the menus. Closing it quits, after
// the delegate's quit guard agrees.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(AppModel& model, LumafoldDelegate& delegate, Dialogs& dialogs, QWidget* parent = nullptr);

    ContentView* contentView() const { return m_content; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* addAction(QMenu* menu, const QString& name, const QString& text, const QKeySequence& key = {});
    void buildFileMenu();
    void buildEditMenu();
    void buildHelpMenu();
    void refreshCommands();
    void showShortcuts();
    void showAbout();

    AppModel& m_model;
    LumafoldDelegate& m_delegate;
    Dialogs& m_dialogs;
    ContentView* m_content;
    QAction* m_addFiles = nullptr;
    QAction* m_insertBlank = nullptr;
    QAction* m_selectAll = nullptr;
    QAction* m_removeSelected = nullptr;
    QAction* m_removeAll = nullptr;
    QAction* m_export = nullptr;
    QAction* m_update = nullptr;
    QPointer<SettingsView> m_settings;
};

} // namespace lumafold
