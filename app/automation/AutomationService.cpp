// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/AutomationService.h"

#include "automation/CombinePDFsIntent.h"
#include "automation/LumafoldIntentError.h"
#include "lumafold/LumafoldError.h"

#include <QDBusMessage>
#include <QFile>

namespace lumafold {

namespace {

QString errorName(const LumafoldError& error)
{
    switch (error.kind()) {
    case LumafoldError::Kind::cannotRead:
        return QStringLiteral("app.marlo.Lumafold.Error.CannotRead");
    case LumafoldError::Kind::tooManyOpenFiles:
        return QStringLiteral("app.marlo.Lumafold.Error.TooManyOpenFiles");
    case LumafoldError::Kind::encrypted:
        return QStringLiteral("app.marlo.Lumafold.Error.Encrypted");
    case LumafoldError::Kind::emptyDocument:
        return QStringLiteral("app.marlo.Lumafold.Error.EmptyDocument");
    case LumafoldError::Kind::missingPage:
        return QStringLiteral("app.marlo.Lumafold.Error.MissingPage");
    case LumafoldError::Kind::invalidRange:
        return QStringLiteral("app.marlo.Lumafold.Error.InvalidRange");
    case LumafoldError::Kind::destinationExists:
        return QStringLiteral("app.marlo.Lumafold.Error.DestinationExists");
    case LumafoldError::Kind::verificationFailed:
        return QStringLiteral("app.marlo.Lumafold.Error.VerificationFailed");
    case LumafoldError::Kind::noPages:
        return QStringLiteral("app.marlo.Lumafold.Error.NoPages");
    case LumafoldError::Kind::cannotWrite:
        return QStringLiteral("app.marlo.Lumafold.Error.CannotWrite");
    }
    return QStringLiteral("org.freedesktop.DBus.Error.Failed");
}

// `folder`: the working folder that holds the result, when there is one.
QDBusMessage answer(const QDBusMessage& call, const std::vector<std::filesystem::path>& paths, std::stop_token stop,
                    std::filesystem::path& folder)
{
    const auto fail = [&call](const QString& name, const char* message) {
        return call.createErrorReply(name, QString::fromUtf8(message));
    };
    try {
        const auto result = CombinePDFsIntent{paths, std::nullopt}.perform(stop);
        folder = result.combinedPath.parent_path();
        return call.createReply(
            QVariantList{QFile::decodeName(result.combinedPath.c_str()), QString::fromStdString(result.dialog)});
    } catch (const LumafoldIntentError& error) {
        return fail(QStringLiteral("app.marlo.Lumafold.Error.NoInput"), error.what());
    } catch (const LumafoldError& error) {
        return fail(errorName(error), error.what());
    } catch (const FileSystemError& error) {
        return fail(QStringLiteral("app.marlo.Lumafold.Error.FileSystem"), error.what());
    } catch (const Cancelled& error) {
        return fail(QStringLiteral("app.marlo.Lumafold.Error.Cancelled"), error.what());
    } catch (const std::exception& error) {
        return fail(QStringLiteral("org.freedesktop.DBus.Error.Failed"), error.what());
    }
}

bool isOnTheBus(const QDBusConnection& bus, const QString& name)
{
    auto question =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    question << name;
    const auto reply = bus.call(question, QDBus::Block, 5000);
    // When the bus cannot tell, the answer goes out as usual.
    return reply.type() != QDBusMessage::ReplyMessage || reply.arguments().value(0).toBool();
}

} // namespace

AutomationService::AutomationService(QObject* parent) : QObject(parent) {}

AutomationService::~AutomationService()
{
    m_pool.waitForDone();
}

bool AutomationService::registerOn(QDBusConnection bus)
{
    return bus.registerObject(QString::fromLatin1(objectPath), this,
                              QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAdaptors);
}

QString AutomationService::CombinePDFs(const QStringList& paths, QString& dialog)
{
    Q_UNUSED(dialog);
    std::vector<std::filesystem::path> files;
    for (const auto& path : paths) {
        std::filesystem::path file(QFile::encodeName(path).toStdString());
        if (!file.is_absolute()) {
            sendErrorReply(QDBusError::InvalidArgs,
                           QStringLiteral("\u201C%1\u201D is not an absolute path.").arg(path));
            return {};
        }
        files.push_back(std::move(file));
    }

    setDelayedReply(true);
    if (m_running++ == 0) {
        emit busy();
    }
    m_pool.start([this, call = message(), bus = connection(), files = std::move(files), stop = m_stop.get_token()] {
        std::filesystem::path folder;
        const auto reply = answer(call, files, stop, folder);
        // A caller that has gone (killed while waiting) would never learn where its result is.
        const bool delivered = (folder.empty() || isOnTheBus(bus, call.service())) && bus.send(reply);
        if (!delivered && !folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
        QMetaObject::invokeMethod(this, &AutomationService::callFinished, Qt::QueuedConnection);
    });
    return {};
}

void AutomationService::callFinished()
{
    if (--m_running == 0) {
        emit idle();
    }
}

} // namespace lumafold
