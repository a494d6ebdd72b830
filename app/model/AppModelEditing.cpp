// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/AppModel.h"

#include "lumafold/LumafoldEngine.h"
#include "model/FileLocations.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace lumafold {

void AppModel::recordChange()
{
    m_undoStack.append(m_pages); // shares the cards, and with them their pictures
    if (m_undoStack.size() > undoLimit) {
        m_undoStack.removeFirst();
    }
    emit undoStackChanged();
    if (!m_redoStack.isEmpty()) {
        m_redoStack.clear();
        emit redoStackChanged();
    }
}

void AppModel::selectAll()
{
    QSet<QUuid> all;
    for (const PageItem& card : m_pages) {
        all.insert(card.id);
    }
    setSelection(all);
}

void AppModel::selectRange(const QString& text)
{
    std::vector<std::int64_t> positions;
    try {
        positions = LumafoldEngine::parsePageRange(text.toStdString(), m_pages.size());
    } catch (const LumafoldError& error) {
        setErrorMessage(QString::fromStdString(error.errorDescription()));
        return;
    }
    QSet<QUuid> chosen;
    for (const std::int64_t position : positions) {
        if (position >= 0 && position < m_pages.size()) {
            chosen.insert(m_pages.at(position).id);
        }
    }
    setSelection(chosen);
}

void AppModel::rotateSelected(bool clockwise)
{
    if (m_selection.isEmpty() || m_isExporting) {
        return;
    }
    recordChange();
    const QList<int> positions = selectedPositions();
    std::vector<ThumbnailStore::Request> requests;
    requests.reserve(positions.size());
    for (const int position : positions) {
        const PageItem& card = m_pages.at(position);
        requests.push_back({PageDescriptor(card.descriptor.content, card.descriptor.rotation + (clockwise ? 90 : -90)),
                            ThumbnailStore::Base{card.descriptor, card.thumbnailData}});
    }
    const QList<QByteArray> pictures = picturesNow(requests);
    for (qsizetype i = 0; i < positions.size(); ++i) {
        PageItem& card = m_pages[positions[i]];
        card.descriptor = requests[i].page;
        if (!pictures[i].isNull()) {
            card.thumbnailData = pictures[i];
        }
    }
    emitUpdatedRuns(positions);
    emit pagesChanged();
    refreshPreview();
}

void AppModel::duplicateSelected()
{
    const QList<int> positions = selectedPositions();
    if (positions.isEmpty() || m_isExporting) {
        return;
    }
    recordChange();
    std::vector<ThumbnailStore::Request> requests;
    for (const int position : positions) {
        const PageItem& card = m_pages.at(position);
        requests.push_back({card.descriptor, ThumbnailStore::Base{card.descriptor, card.thumbnailData}});
    }
    const QList<QByteArray> pictures = picturesNow(requests);
    QSet<QUuid> copies;
    for (qsizetype j = 0; j < positions.size(); ++j) {
        // Every copy inserted so far sits before this card and has moved it one further.
        const int source = positions[j] + static_cast<int>(j);
        const PageItem& original = m_pages.at(source);
        PageItem copy{QUuid::createUuid(), original.descriptor,
                      pictures[j].isNull() ? original.thumbnailData : pictures[j], original.sourceName,
                      original.sourcePage};
        copies.insert(copy.id);
        insertPages(source + 1, {copy});
    }
    emit pagesChanged();
    setSelection(copies);
    refreshPreview();
}

void AppModel::removeSelected()
{
    if (m_selection.isEmpty() || m_isExporting) {
        return;
    }
    recordChange();
    removePagesAt(selectedPositions());
    emit pagesChanged();
    setSelection(m_pages.isEmpty() ? QSet<QUuid>() : QSet<QUuid>{m_pages.first().id});
    refreshPreview();
}

void AppModel::removeAll()
{
    if (m_pages.isEmpty() || m_isExporting) {
        return;
    }
    recordChange();
    const int last = static_cast<int>(m_pages.size()) - 1;
    emit pagesAboutToBeRemoved(0, last);
    m_pages.clear();
    emit pagesRemoved(0, last);
    emit pagesChanged();
    setSelection({});
    setPreviewResult(std::nullopt);
    // A preview still pending would only find the workspace changed and leave the preview
    // marked as rendering for good; an empty workspace has no preview and no preview error.
    cancelPendingPreview();
    setPreviewError(std::nullopt);
    setIsRenderingPreview(false);
}

void AppModel::insertBlankPage()
{
    if (m_isExporting) {
        return;
    }
    recordChange();
    const PageDescriptor blank(PageContent::blank(m_blankPageSize), 0);
    const PageItem card{QUuid::createUuid(), blank, picturesNow({{blank, std::nullopt}}).value(0),
                        PageItem::blankPageName, std::nullopt};
    int position = static_cast<int>(m_pages.size());
    for (int i = position - 1; i >= 0; --i) {
        if (m_selection.contains(m_pages.at(i).id)) {
            position = i + 1;
            break;
        }
    }
    insertPages(position, {card});
    emit pagesChanged();
    setSelection({card.id});
    refreshPreview();
}

void AppModel::movePage(const QUuid& id, const QUuid& before)
{
    if (id == before) {
        return;
    }
    const auto positionOf = [this](const QUuid& wanted) {
        const auto found =
            std::find_if(m_pages.cbegin(), m_pages.cend(), [&](const PageItem& card) { return card.id == wanted; });
        return found == m_pages.cend() ? -1 : static_cast<int>(found - m_pages.cbegin());
    };
    const int from = positionOf(id);
    const int target = from < 0 ? -1 : positionOf(before);
    if (target < 0) {
        return;
    }
    recordChange();
    // The card ends directly before the target, whichever way it travels.
    const int to = from < target ? target - 1 : target;
    if (from != to) {
        emit pageAboutToBeMoved(from, to);
        m_pages.move(from, to);
        emit pageMoved(from, to);
    }
    emit pagesChanged();
    refreshPreview();
}

void AppModel::undo()
{
    restoreFrom(m_undoStack, m_redoStack, &AppModel::undoStackChanged, &AppModel::redoStackChanged);
}

void AppModel::redo()
{
    restoreFrom(m_redoStack, m_undoStack, &AppModel::redoStackChanged, &AppModel::undoStackChanged);
}

void AppModel::restoreFrom(QList<PageList>& from, QList<PageList>& to, void (AppModel::*fromChanged)(),
                           void (AppModel::*toChanged)())
{
    if (from.isEmpty()) {
        return;
    }
    const PageList snapshot = from.takeLast();
    emit(this->*fromChanged)();
    to.append(m_pages);
    emit(this->*toChanged)();
    replacePages(snapshot);
    QSet<QUuid> remaining;
    for (const PageItem& card : m_pages) {
        if (m_selection.contains(card.id)) {
            remaining.insert(card.id);
        }
    }
    setSelection(remaining);
    // A snapshot taken while pictures were on their way still shows the old ones.
    showKnownPictures();
    refreshPreview();
}

QList<QByteArray> AppModel::picturesNow(const std::vector<ThumbnailStore::Request>& requests)
{
    auto [pictures, work] = m_thumbnails.plan(requests);
    if (work.isEmpty()) {
        return pictures;
    }
    // Turning or drawing would keep the main thread waiting; until the pictures arrive the cards
    // keep the ones they have.
    auto* watcher = new QFutureWatcher<std::vector<ThumbnailStore::Made>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_thumbnails.remember(watcher->result());
        showKnownPictures();
    });
    watcher->setFuture(QtConcurrent::run([work = std::move(work)] { return ThumbnailStore::make(work); }));
    return pictures;
}

void AppModel::showKnownPictures()
{
    QList<int> changed;
    for (int i = 0; i < m_pages.size(); ++i) {
        const QByteArray picture = m_thumbnails.known(m_pages.at(i).descriptor);
        if (!picture.isNull() && picture != m_pages.at(i).thumbnailData) {
            m_pages[i].thumbnailData = picture;
            changed.append(i);
        }
    }
    if (!changed.isEmpty()) {
        emitUpdatedRuns(changed);
        emit pagesChanged();
    }
}

void AppModel::revealSource(const PageItem& item)
{
    if (item.descriptor.content.isSource()) {
        m_dialogs.revealInFileManager({FileLocations::toUrl(item.descriptor.content.sourcePage().path)});
    }
}

} // namespace lumafold
