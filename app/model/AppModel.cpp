// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/AppModel.h"

#include "lumafold/LumafoldEngine.h"

#include <algorithm>

#include <QDir>

namespace lumafold {

AppModel::AppModel(Dialogs& dialogs, QObject* parent) : AppModel(dialogs, Assembler(&LumafoldEngine::assemble), parent)
{}

AppModel::AppModel(Dialogs& dialogs, Assembler assembler, QObject* parent)
    : AppModel(dialogs, std::move(assembler), UpdateSetup::standard(), parent)
{}

AppModel::AppModel(Dialogs& dialogs, Assembler assembler, UpdateSetup updates, QObject* parent)
    : QObject(parent), m_dialogs(dialogs), m_assembler(std::move(assembler)), m_updates(std::move(updates)),
      m_version(m_updates.runningVersion), m_outputName(defaultOutputName)
{
    if (qEnvironmentVariableIsSet("MARLO_UI_TEST_OUTPUT_DIR")) {
        // Relative paths, the empty one included, name folders below the working directory.
        const QString folder = QDir::current().absoluteFilePath(qEnvironmentVariable("MARLO_UI_TEST_OUTPUT_DIR"));
        m_outputFolder = QUrl::fromLocalFile(QDir::cleanPath(folder));
    }

    m_previewTimer.setSingleShot(true);
    m_previewTimer.setTimerType(Qt::PreciseTimer);
    m_previewTimer.setInterval(previewDelayMs);
    connect(&m_previewTimer, &QTimer::timeout, this, &AppModel::startPreviewAssembly);

    if (qEnvironmentVariableIsSet("MARLO_UI_TEST_INPUTS")) {
        QList<QUrl> inputs;
        const QStringList pieces =
            qEnvironmentVariable("MARLO_UI_TEST_INPUTS").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString& piece : pieces) {
            inputs.append(QUrl::fromLocalFile(piece));
        }
        // Queued with the model as context: it runs once the event loop is free, and not at all
        // when the model is gone by then.
        QMetaObject::invokeMethod(
            this, [this, inputs] { add(inputs); }, Qt::QueuedConnection);
    }

    if (!qEnvironmentVariableIsSet("DISABLE_AUTO_UPDATE")) {
        checkForUpdate();
    }
}

AppModel::~AppModel()
{
    m_installStop.request_stop();
}

QUrl AppModel::feedbackURL() const
{
    return QUrl(QStringLiteral("https://marlo.app/feedback?app=lumafold"));
}

QUrl AppModel::websiteURL() const
{
    return QUrl(QStringLiteral("https://marlo.app/lumafold"));
}

template <typename T> void AppModel::assign(T& field, const T& value, void (AppModel::*changed)())
{
    if (field == value) {
        return;
    }
    field = value;
    emit(this->*changed)();
}

void AppModel::setPages(const PageList& pages)
{
    replacePages(pages);
}

void AppModel::setSelection(const QSet<QUuid>& selection)
{
    assign(m_selection, selection, &AppModel::selectionChanged);
}

void AppModel::setExportMode(PagesExportMode mode)
{
    assign(m_exportMode, mode, &AppModel::exportModeChanged);
}

void AppModel::setSplitChunkSize(qint64 size)
{
    assign(m_splitChunkSize, size, &AppModel::splitChunkSizeChanged);
}

void AppModel::setOutputName(const QString& name)
{
    assign(m_outputName, name, &AppModel::outputNameChanged);
}

void AppModel::setRemoveMetadata(bool remove)
{
    assign(m_removeMetadata, remove, &AppModel::removeMetadataChanged);
}

void AppModel::setBlankPageSize(const PageSize& size)
{
    assign(m_blankPageSize, size, &AppModel::blankPageSizeChanged);
}

void AppModel::setOutputFolder(const std::optional<QUrl>& folder)
{
    assign(m_outputFolder, folder, &AppModel::outputFolderChanged);
}

void AppModel::setIsLoading(bool loading)
{
    assign(m_isLoading, loading, &AppModel::isLoadingChanged);
}

void AppModel::setIsExporting(bool exporting)
{
    assign(m_isExporting, exporting, &AppModel::isExportingChanged);
}

void AppModel::setIsDropTargeted(bool targeted)
{
    assign(m_isDropTargeted, targeted, &AppModel::isDropTargetedChanged);
}

void AppModel::setProgress(double progress)
{
    assign(m_progress, progress, &AppModel::progressChanged);
}

void AppModel::setErrorMessage(const std::optional<QString>& message)
{
    assign(m_errorMessage, message, &AppModel::errorMessageChanged);
}

void AppModel::setPreviewResult(const std::optional<PagesResult>& result)
{
    assign(m_previewResult, result, &AppModel::previewResultChanged);
}

void AppModel::setPreviewError(const std::optional<QString>& error)
{
    assign(m_previewError, error, &AppModel::previewErrorChanged);
}

void AppModel::setIsRenderingPreview(bool rendering)
{
    assign(m_isRenderingPreview, rendering, &AppModel::isRenderingPreviewChanged);
}

void AppModel::setLastOutputURLs(const QList<QUrl>& urls)
{
    assign(m_lastOutputURLs, urls, &AppModel::lastOutputURLsChanged);
}

void AppModel::setAvailableUpdate(const std::optional<UpdateInfo>& update)
{
    assign(m_availableUpdate, update, &AppModel::availableUpdateChanged);
}

void AppModel::setIsUpdating(bool updating)
{
    assign(m_isUpdating, updating, &AppModel::isUpdatingChanged);
}

void AppModel::setIsCheckingForUpdate(bool checking)
{
    assign(m_isCheckingForUpdate, checking, &AppModel::isCheckingForUpdateChanged);
}

// One pagesUpdated per run of neighbouring cards, so a view repaints ranges rather than cards.
void AppModel::emitUpdatedRuns(const QList<int>& positions)
{
    for (qsizetype start = 0; start < positions.size();) {
        qsizetype end = start;
        while (end + 1 < positions.size() && positions[end + 1] == positions[end] + 1) {
            ++end;
        }
        emit pagesUpdated(positions[start], positions[end]);
        start = end + 1;
    }
}

void AppModel::replacePages(const PageList& pages)
{
    if (pages == m_pages) {
        return;
    }
    // Undo and redo mostly take back one insertion, removal or move: reported as such, views keep
    // their scroll position, current card and selection. Anything else starts afresh.
    if (!arrangeLike(pages)) {
        emit pagesAboutToBeReset();
        m_pages = pages;
        emit pagesReset();
        emit pagesChanged();
        return;
    }
    // The same cards in the same order now: report those whose content differs (a rotation, say).
    QList<int> changed;
    for (int i = 0; i < m_pages.size(); ++i) {
        if (!(m_pages.at(i) == pages.at(i))) {
            changed.append(i);
        }
    }
    m_pages = pages;
    emitUpdatedRuns(changed);
    emit pagesChanged();
}

bool AppModel::arrangeLike(const PageList& pages)
{
    const auto sameId = [](const PageItem& a, const PageItem& b) {
        return a.id == b.id;
    };
    if (pages.size() == m_pages.size()) {
        const auto first = std::mismatch(m_pages.begin(), m_pages.end(), pages.begin(), sameId);
        if (first.first == m_pages.end()) {
            return true;
        }
        const int from = static_cast<int>(first.first - m_pages.begin());
        const auto last = std::mismatch(m_pages.rbegin(), m_pages.rend(), pages.rbegin(), sameId);
        const int to = static_cast<int>(m_pages.rend() - last.first) - 1;
        // One card taken from one end of the differing stretch to its other end.
        for (const auto& [source, target] : {std::pair{to, from}, std::pair{from, to}}) {
            PageList moved = m_pages;
            moved.move(source, target);
            if (std::equal(moved.begin(), moved.end(), pages.begin(), sameId)) {
                emit pageAboutToBeMoved(source, target);
                m_pages.move(source, target);
                emit pageMoved(source, target);
                return true;
            }
        }
        return false;
    }
    const bool removing = pages.size() < m_pages.size();
    const PageList& longer = removing ? m_pages : pages;
    const PageList& shorter = removing ? pages : m_pages;
    QList<int> extra;
    qsizetype kept = 0;
    for (int i = 0; i < longer.size(); ++i) {
        if (kept < shorter.size() && longer.at(i).id == shorter.at(kept).id) {
            ++kept;
        } else {
            extra.append(i);
        }
    }
    if (kept != shorter.size()) {
        return false;
    }
    if (removing) {
        removePagesAt(extra);
    } else {
        // Runs in ascending order: each position already counts the runs before it.
        for (qsizetype start = 0; start < extra.size();) {
            qsizetype end = start;
            while (end + 1 < extra.size() && extra[end + 1] == extra[end] + 1) {
                ++end;
            }
            insertPages(extra[start], pages.mid(extra[start], end - start + 1));
            start = end + 1;
        }
    }
    return true;
}

void AppModel::insertPages(int position, const PageList& cards)
{
    if (cards.isEmpty()) {
        return;
    }
    const int last = position + static_cast<int>(cards.size()) - 1;
    emit pagesAboutToBeInserted(position, last);
    m_pages.insert(position, cards.size(), PageItem{});
    std::copy(cards.begin(), cards.end(), m_pages.begin() + position);
    emit pagesInserted(position, last);
}

void AppModel::removePagesAt(const QList<int>& ascendingPositions)
{
    // Runs from the back, so the positions of the runs not yet removed stay valid.
    for (qsizetype end = ascendingPositions.size() - 1; end >= 0;) {
        qsizetype start = end;
        while (start > 0 && ascendingPositions[start - 1] == ascendingPositions[start] - 1) {
            --start;
        }
        const int first = ascendingPositions[start];
        const int last = ascendingPositions[end];
        emit pagesAboutToBeRemoved(first, last);
        m_pages.remove(first, last - first + 1);
        emit pagesRemoved(first, last);
        end = start - 1;
    }
}

QList<int> AppModel::selectedPositions() const
{
    QList<int> positions;
    for (int i = 0; i < m_pages.size(); ++i) {
        if (m_selection.contains(m_pages.at(i).id)) {
            positions.append(i);
        }
    }
    return positions;
}

} // namespace lumafold
