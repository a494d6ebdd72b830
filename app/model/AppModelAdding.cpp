// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/AppModel.h"

#include "lumafold/LumafoldEngine.h"
#include "model/FileLocations.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace fs = std::filesystem;

namespace lumafold {

namespace {

PageList loadCards(const std::vector<fs::path>& files)
{
    PageList cards;
    std::vector<PageDescriptor> pages;
    for (const fs::path& file : files) {
        // A pipe or a device named *.pdf would block the reader or never end.
        std::error_code error;
        if (!fs::is_regular_file(file, error)) {
            continue;
        }
        std::vector<PageDescriptor> filePages;
        try {
            filePages = LumafoldEngine::descriptors(file);
        } catch (...) {
            continue; // unreadable, locked, empty or no PDF: skipped without a word
        }
        const QString name = FileLocations::lastComponent(file);
        for (std::size_t k = 0; k < filePages.size(); ++k) {
            cards.append(PageItem{QUuid::createUuid(), filePages[k], {}, name, static_cast<qint64>(k) + 1});
        }
        pages.insert(pages.end(), filePages.begin(), filePages.end());
    }
    const QList<QByteArray> pictures = ThumbnailStore::draw(pages);
    for (qsizetype i = 0; i < cards.size(); ++i) {
        cards[i].thumbnailData = pictures.value(i);
    }
    return cards;
}

} // namespace

void AppModel::choosePDFs()
{
    if (m_isExporting) {
        return;
    }
    const QList<QUrl> chosen = m_dialogs.chooseFiles({.message = tr("Choose PDFs or folders"),
                                                      .prompt = tr("Add"),
                                                      .allowFolders = true,
                                                      .allowMultiple = true,
                                                      .fileExtensions = {QStringLiteral("pdf")}});
    if (!chosen.isEmpty()) {
        add(chosen);
    }
}

std::vector<fs::path> AppModel::pdfFiles(const QList<QUrl>& locations)
{
    std::vector<fs::path> paths;
    for (const QUrl& location : locations) {
        paths.push_back(FileLocations::toPath(location));
    }
    return FileLocations::collectPdfFiles(paths);
}

void AppModel::add(const QList<QUrl>& locations)
{
    if (locations.isEmpty() || m_isExporting) {
        return;
    }
    setIsLoading(true);
    // The watcher is the model's child: once the model is gone, the result has nowhere to go.
    auto* watcher = new QFutureWatcher<PageList>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, first = locations.first()] {
        watcher->deleteLater();
        applyLoaded(watcher->result(), first);
    });
    watcher->setFuture(QtConcurrent::run([locations]() -> PageList {
        try {
            return loadCards(pdfFiles(locations));
        } catch (...) {
            return {};
        }
    }));
}

void AppModel::applyLoaded(PageList cards, const QUrl& firstLocation)
{
    setIsLoading(false);
    if (cards.isEmpty()) {
        setErrorMessage(tr("The selected files could not be read as unlocked PDFs."));
        return;
    }
    recordChange();
    for (const PageItem& card : std::as_const(cards)) {
        m_thumbnails.rememberDrawn(card.descriptor, card.thumbnailData);
    }
    insertPages(static_cast<int>(m_pages.size()), cards);
    emit pagesChanged();
    if (m_outputName == defaultOutputName) {
        setOutputName(FileLocations::nameWithoutExtension(FileLocations::toPath(firstLocation)) +
                      QStringLiteral("-pages"));
    }
    if (m_selection.isEmpty()) {
        setSelection({cards.first().id});
    }
    refreshPreview();
}

} // namespace lumafold
