// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/AppModel.h"

#include "lumafold/LumafoldEngine.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <variant>

namespace lumafold {

struct AppModel::PreviewRequest
{
    std::vector<PageDescriptor> pages;
    bool removeMetadata = false;
};

namespace {

using PreviewOutcome = std::variant<PagesResult, QString>;

bool describeSamePages(const PageList& cards, const std::vector<PageDescriptor>& pages)
{
    return static_cast<std::size_t>(cards.size()) == pages.size() &&
           std::equal(pages.begin(), pages.end(), cards.begin(),
                      [](const PageDescriptor& page, const PageItem& card) { return card.descriptor == page; });
}

} // namespace

void AppModel::refreshPreview()
{
    cancelPendingPreview();
    if (m_pages.isEmpty()) {
        setPreviewResult(std::nullopt);
        setPreviewError(std::nullopt);
        setIsRenderingPreview(false);
        return;
    }
    auto request = std::make_shared<PreviewRequest>();
    request->pages.reserve(m_pages.size());
    for (const PageItem& card : std::as_const(m_pages)) {
        request->pages.push_back(card.descriptor);
    }
    request->removeMetadata = m_removeMetadata;
    setPreviewResult(std::nullopt);
    setPreviewError(std::nullopt);
    setIsRenderingPreview(true);
    m_previewRequest = std::move(request);
    m_previewTimer.start();
}

void AppModel::cancelPendingPreview()
{
    m_previewTimer.stop();
    m_previewRequest.reset();
}

void AppModel::startPreviewAssembly()
{
    const std::shared_ptr<const PreviewRequest> request = m_previewRequest;
    if (!request) {
        return;
    }
    auto* watcher = new QFutureWatcher<PreviewOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        // A newer request replaced this one while it was assembling: drop it.
        if (request != m_previewRequest) {
            return;
        }
        if (!describeSamePages(m_pages, request->pages)) {
            return;
        }
        const PreviewOutcome outcome = watcher->result();
        if (const auto* result = std::get_if<PagesResult>(&outcome)) {
            setPreviewResult(*result);
        } else {
            setPreviewError(std::get<QString>(outcome));
        }
        setIsRenderingPreview(false);
    });
    // Once started, an assembly runs to its end; a newer request only keeps it from being shown.
    watcher->setFuture(QtConcurrent::run([assemble = m_assembler, request]() -> PreviewOutcome {
        try {
            return assemble(request->pages, request->removeMetadata, {});
        } catch (const LumafoldError& error) {
            return QString::fromStdString(error.errorDescription());
        } catch (...) {
            return tr("The preview could not be made.");
        }
    }));
}

} // namespace lumafold
