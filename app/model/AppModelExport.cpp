// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/AppModel.h"

#include "lumafold/LumafoldEngine.h"
#include "model/FileLocations.h"

#include <QFile>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <unistd.h>

namespace fs = std::filesystem;

namespace lumafold {

struct AppModel::ExportRequest
{
    PagesExportMode mode = PagesExportMode::combined;
    std::vector<PageDescriptor> pages;
    qint64 chunkSize = 1;
    QUrl folder;
    QString baseName;
    bool removeMetadata = false;
};

namespace {

struct ExportOutcome
{
    QList<QUrl> written;
    std::optional<QString> error;
    bool cancelled = false;
};

ExportOutcome failure(const QString& message)
{
    return ExportOutcome{{}, message, false};
}

bool isWritableFolder(const fs::path& folder)
{
    std::error_code error;
    return fs::is_directory(folder, error) && ::access(folder.c_str(), W_OK) == 0;
}

} // namespace

std::optional<QString> AppModel::validationMessage() const
{
    if (m_outputName.trimmed().isEmpty()) {
        return tr("Enter an output filename.");
    }
    if (m_outputName.contains(QLatin1Char('/')) || m_outputName.contains(QLatin1Char(':'))) {
        return tr("The filename cannot contain a slash or colon.");
    }
    if (m_exportMode == PagesExportMode::selected && m_selection.isEmpty()) {
        return tr("Select at least one page to extract.");
    }
    if (m_exportMode == PagesExportMode::split && m_splitChunkSize < 1) {
        return tr("Choose at least one page per PDF.");
    }
    return std::nullopt;
}

bool AppModel::canExport() const
{
    return !m_pages.isEmpty() && !m_isExporting && !validationMessage();
}

bool AppModel::chooseOutputFolder()
{
    const std::optional<QUrl> chosen = m_dialogs.chooseFolder({.title = tr("Choose Output Folder"),
                                                               .prompt = tr("Choose"),
                                                               .canCreateFolders = true,
                                                               .startFolder = m_outputFolder});
    if (!chosen || chosen->isEmpty()) {
        return false;
    }
    setOutputFolder(*chosen);
    return true;
}

void AppModel::exportPages()
{
    if (!canExport()) {
        return;
    }
    if (!m_outputFolder && !chooseOutputFolder()) {
        return;
    }
    // Anything but a folder we may write into is refused here, before any work starts.
    if (!isWritableFolder(FileLocations::toPath(*m_outputFolder))) {
        setErrorMessage(tr("The selected destination is not writable."));
        return;
    }
    ExportRequest request{m_exportMode,    {}, m_splitChunkSize, *m_outputFolder, m_outputName.trimmed(),
                          m_removeMetadata};
    for (const PageItem& card : std::as_const(m_pages)) {
        if (m_exportMode != PagesExportMode::selected || m_selection.contains(card.id)) {
            request.pages.push_back(card.descriptor);
        }
    }
    setIsExporting(true);
    setProgress(0);
    setLastOutputURLs({});
    runExport(std::move(request));
}

void AppModel::runExport(ExportRequest request)
{
    m_exportStop.emplace();
    auto* watcher = new QFutureWatcher<ExportOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        const ExportOutcome outcome = watcher->result();
        setIsExporting(false);
        setProgress(1);
        if (outcome.cancelled) {
            return;
        }
        if (outcome.error) {
            setErrorMessage(outcome.error);
        } else {
            setLastOutputURLs(outcome.written);
        }
    });
    watcher->setFuture(QtConcurrent::run(
        [request = std::move(request), stop = m_exportStop->get_token(), assemble = m_assembler]() -> ExportOutcome {
            try {
                const fs::path folder = FileLocations::toPath(request.folder);
                if (request.mode == PagesExportMode::split) {
                    QList<QUrl> written;
                    for (const fs::path& file : LumafoldEngine::split(request.pages, request.chunkSize, folder,
                                                                      QFile::encodeName(request.baseName).toStdString(),
                                                                      request.removeMetadata, stop)) {
                        written.append(FileLocations::toUrl(file));
                    }
                    return ExportOutcome{written, std::nullopt, false};
                }
                const PagesResult result = assemble(request.pages, request.removeMetadata, stop);
                const fs::path file =
                    FileLocations::writeUnderFreeName(folder, request.baseName, [&](const fs::path& destination) {
                        return LumafoldEngine::write(result, destination);
                    });
                return ExportOutcome{{FileLocations::toUrl(file)}, std::nullopt, false};
            } catch (const Cancelled&) {
                return ExportOutcome{{}, std::nullopt, true};
            } catch (const LumafoldError& error) {
                return failure(QString::fromStdString(error.errorDescription()));
            } catch (const FileSystemError& error) {
                return failure(QString::fromLocal8Bit(error.what()));
            } catch (...) {
                return failure(tr("The new PDF could not be written."));
            }
        }));
}

QUrl AppModel::uniqueDestination(const QUrl& folder, const QString& baseName)
{
    return FileLocations::toUrl(FileLocations::uniqueDestination(FileLocations::toPath(folder), baseName));
}

void AppModel::revealOutput()
{
    if (!m_lastOutputURLs.isEmpty()) {
        m_dialogs.revealInFileManager(m_lastOutputURLs);
    }
}

void AppModel::resetToDefaults()
{
    setExportMode(PagesExportMode::combined);
    setSplitChunkSize(1);
    setRemoveMetadata(false);
    if (!m_pages.isEmpty() && m_pages.first().descriptor.content.isSource()) {
        setOutputName(FileLocations::nameWithoutExtension(m_pages.first().descriptor.content.sourcePage().path) +
                      QStringLiteral("-pages"));
    } else {
        setOutputName(defaultOutputName);
    }
}

void AppModel::cancelExport()
{
    if (m_exportStop) {
        m_exportStop->request_stop();
    }
}

} // namespace lumafold
