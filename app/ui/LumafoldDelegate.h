// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QUrl>

namespace lumafold {

class AppModel;
class Dialogs;

// Takes the files the desktop asks the program to open, holds them until the window is there,
// and decides whether quitting may go ahead. Main thread only; refers to the model weakly.
class LumafoldDelegate : public QObject
{
    Q_OBJECT

public:
    static constexpr int deduplicationMs = 1000;

    explicit LumafoldDelegate(Dialogs& dialogs, QObject* parent = nullptr);

    // Files to open, in order. A file already accepted within the last second is left out, so
    // one request arriving by two ways adds its files once.
    void accept(const QList<QUrl>& files);
    // Set once the window shows; files waiting for it are added then.
    void setModel(AppModel* model);
    // Asks, while an export runs, whether to stop it; true when the program may quit now.
    bool shouldTerminate();

private:
    void flush();

    Dialogs& m_dialogs;
    QPointer<AppModel> m_model;
    QList<QUrl> m_pending;
    QSet<QUrl> m_recentlyAccepted;
};

} // namespace lumafold
