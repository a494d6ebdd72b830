// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/ServiceCommand.h"

#include "automation/AutomationService.h"
#include "automation/SignalWatcher.h"
#include "automation/WindowLauncher.h"
#include "lumafold/LumafoldError.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <charconv>
#include <filesystem>

namespace lumafold {

namespace {

constexpr int defaultIdleSeconds = 10;
// Calls the bus routed to us just before the name was released still arrive; answer them.
constexpr int releaseGraceMs = 500;
constexpr int busWatchMs = 1000;

bool parseSeconds(const std::string& text, int& seconds)
{
    const auto end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, seconds);
    return error == std::errc() && last == end && seconds > 0 && seconds <= 24 * 3600;
}

} // namespace

int runAutomationService(const std::vector<std::string>& args, std::ostream& err)
{
    int idleSeconds = defaultIdleSeconds;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--idle-timeout" && i + 1 < args.size() && parseSeconds(args[i + 1], idleSeconds)) {
            ++i;
            continue;
        }
        err << "lumafold --dbus-service: unexpected argument \u201C" << args[i]
            << "\u201D. The only option is --idle-timeout SECONDS (1 to 86400).\n";
        return 2;
    }

    // Results are named on the bus in UTF-8: in a folder whose name is not, they could not be found.
    std::error_code noTemporary;
    const auto temporary = std::filesystem::temp_directory_path(noTemporary).native();
    if (!noTemporary && QFile::encodeName(QFile::decodeName(temporary.c_str())).toStdString() != temporary) {
        err << "lumafold: the temporary folder " << quotedName(temporary)
            << " is not named in UTF-8, so the bus cannot carry the paths of results in it. Set TMPDIR to a folder "
               "with a UTF-8 name.\n";
        return 1;
    }

    // A session that ends sends SIGTERM: running calls are cancelled so that their working folders
    // go. Watched before any thread starts, so that the signals only ever arrive through the fd.
    SignalWatcher stopSignals;
    if (!stopSignals.watching()) {
        err << "lumafold: signals cannot be watched.\n";
        return 1;
    }

    static int argc = 1;
    static char name[] = "lumafold";
    static char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        err << "lumafold: the session bus is not available: " << bus.lastError().message().toStdString() << '\n';
        return 1;
    }
    AutomationService service;
    new WindowLauncher(&service);
    if (!service.registerOn(bus)) {
        err << "lumafold: " << AutomationService::objectPath << " could not be registered.\n";
        return 1;
    }
    const QString serviceName = QString::fromLatin1(AutomationService::serviceName);
    const auto owned = bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::AllowReplacement);
    if (!owned.isValid() || owned.value() != QDBusConnectionInterface::ServiceRegistered) {
        err << "lumafold: " << AutomationService::serviceName << " is already owned by another process.\n";
        return 1;
    }

    bool leaving = false;
    const auto leaveWhenIdle = [&] {
        leaving = true;
        if (service.runningCalls() == 0) {
            QTimer::singleShot(releaseGraceMs, &application, [&] {
                if (service.runningCalls() == 0) {
                    QCoreApplication::quit();
                }
            });
        }
    };
    QTimer idleTimer;
    idleTimer.setSingleShot(true);
    idleTimer.setInterval(idleSeconds * 1000);
    const auto leave = [&] {
        idleTimer.stop();
        if (!leaving) {
            bus.interface()->unregisterService(serviceName);
        }
        leaveWhenIdle();
    };
    QObject::connect(&idleTimer, &QTimer::timeout, &application, leave);
    QSocketNotifier signalNotifier(stopSignals.fd(), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &application, [&] {
        stopSignals.take();
        service.cancelCalls();
        leave();
    });
    QObject::connect(&service, &AutomationService::busy, &idleTimer, &QTimer::stop);
    QObject::connect(&service, &AutomationService::idle, &application, [&] {
        if (leaving) {
            leaveWhenIdle();
        } else {
            idleTimer.start();
        }
    });
    QObject::connect(bus.interface(), &QDBusConnectionInterface::serviceUnregistered, &application,
                     [&](const QString& lost) {
                         if (lost == serviceName && !leaving) {
                             idleTimer.stop();
                             leaveWhenIdle();
                         }
                     });
    // Without its bus an activated instance can never be called again.
    QTimer busWatch;
    QObject::connect(&busWatch, &QTimer::timeout, &application, [&] {
        if (!bus.isConnected()) {
            // Nobody is left to receive the results, so nothing should stay behind.
            service.cancelCalls();
            QCoreApplication::quit();
        }
    });
    busWatch.start(busWatchMs);
    idleTimer.start();
    return QCoreApplication::exec();
}

} // namespace lumafold
