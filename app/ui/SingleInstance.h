// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include <QList>
#include <QUrl>

class QObject;
class QWidget;

namespace lumafold {

class LumafoldDelegate;

// One window per session: the first serves app.marlo.Lumafold as an org.freedesktop.Application
// (beside Combine PDFs); later starts hand their files to it and leave.
namespace SingleInstance {

// True when a window of this session took the files (or was raised, when there are none).
bool handToRunningWindow(const QList<QUrl>& files);

// Serves the session's name for `window`, taking it over from a headless service, which
// finishes the calls it is answering. False when the bus is not there or refuses.
bool serve(LumafoldDelegate& delegate, QWidget& window, QObject* owner);

} // namespace SingleInstance

} // namespace lumafold
