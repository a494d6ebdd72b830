// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PlatformDialogs.h"

#include <QAbstractItemView>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QUuid>

namespace lumafold {

namespace {

// A Qt file dialog cannot pick files and folders at once. Its own (non-native) dialog can, when
// the confirm button takes whatever rows are selected in its views, folders included.
void acceptFoldersToo(QFileDialog& dialog)
{
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    QPushButton* confirm = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    if (!confirm) {
        return;
    }
    for (auto* view : dialog.findChildren<QAbstractItemView*>()) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    }
    QObject::disconnect(confirm, &QPushButton::clicked, nullptr, nullptr);
    QObject::connect(confirm, &QPushButton::clicked, &dialog, [&dialog] {
        const QStringList picked = dialog.selectedFiles();
        if (!picked.isEmpty()) {
            static_cast<QDialog&>(dialog).done(QDialog::Accepted); // skips accept(), which refuses folders
        }
    });
}

} // namespace

PlatformDialogs::PlatformDialogs(QWidget* parent) : m_parent(parent) {}

void PlatformDialogs::setParentWidget(QWidget* parent)
{
    m_parent = parent;
}

QList<QUrl> PlatformDialogs::chooseFiles(const FileChoice& choice)
{
    QFileDialog dialog(m_parent, choice.message);
    dialog.setOption(QFileDialog::DontUseNativeDialog, choice.allowFolders);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(choice.allowMultiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::Accept, choice.prompt);
    if (!choice.fileExtensions.isEmpty()) {
        QStringList patterns;
        for (const QString& extension : choice.fileExtensions) {
            patterns << QStringLiteral("*.") + extension << QStringLiteral("*.") + extension.toUpper();
        }
        dialog.setNameFilter(QStringLiteral("PDF (%1)").arg(patterns.join(QLatin1Char(' '))));
    }
    if (choice.allowFolders) {
        acceptFoldersToo(dialog);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedUrls();
}

std::optional<QUrl> PlatformDialogs::chooseFolder(const FolderChoice& choice)
{
    QFileDialog dialog(m_parent, choice.title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::ReadOnly, !choice.canCreateFolders);
    dialog.setLabelText(QFileDialog::Accept, choice.prompt);
    if (choice.startFolder) {
        dialog.setDirectoryUrl(*choice.startFolder);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedUrls().first();
}

int PlatformDialogs::alert(const Alert& alert)
{
    QMessageBox box(m_parent);
    switch (alert.style) {
    case Alert::Style::informational:
        box.setIcon(QMessageBox::Information);
        break;
    case Alert::Style::warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Alert::Style::critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setText(alert.text);
    box.setInformativeText(alert.informativeText);
    QList<QAbstractButton*> buttons;
    for (const QString& title : alert.buttons) {
        buttons.append(box.addButton(title, buttons.isEmpty() ? QMessageBox::AcceptRole : QMessageBox::RejectRole));
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton*>(buttons.first()));
    }
    box.exec();
    return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

void PlatformDialogs::revealInFileManager(const QList<QUrl>& files)
{
    if (files.isEmpty()) {
        return;
    }
    QStringList uris;
    for (const QUrl& file : files) {
        uris.append(file.toString(QUrl::FullyEncoded));
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ErrorMessage) {
        return;
    }
    // No file manager on the bus: open each containing folder once instead.
    QSet<QString> opened;
    for (const QUrl& file : files) {
        const QString folder = QFileInfo(file.toLocalFile()).absolutePath();
        if (!opened.contains(folder)) {
            opened.insert(folder);
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
        }
    }
}

void PlatformDialogs::openUrl(const QUrl& url)
{
    QDesktopServices::openUrl(url);
}

} // namespace lumafold
