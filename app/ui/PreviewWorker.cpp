// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PreviewWorker.h"

#include <QMutexLocker>

namespace lumafold {

void PreviewWorker::open(quint64 generation, std::shared_ptr<const Bytes> pdf, const QList<Job>& first)
{
    QMutexLocker lock(&m_mutex);
    m_generation = generation;
    m_pendingDocument = std::move(pdf);
    m_firstJobs = first;
    m_jobs.clear();
    schedule();
}

void PreviewWorker::want(quint64 generation, const QList<Job>& jobs)
{
    QMutexLocker lock(&m_mutex);
    if (generation == m_generation) {
        m_jobs = jobs;
        schedule();
    }
}

void PreviewWorker::close()
{
    {
        QMutexLocker lock(&m_mutex);
        m_closed = true;
        m_pendingDocument.reset();
        m_jobs.clear();
    }
    // The document was opened with the worker thread's MuPDF context and must be dropped with it.
    QMetaObject::invokeMethod(
        this, [this] { m_renderer.reset(); }, Qt::BlockingQueuedConnection);
}

// Called with m_mutex held.
void PreviewWorker::schedule()
{
    if (!m_scheduled && !m_closed) {
        m_scheduled = true;
        QMetaObject::invokeMethod(this, &PreviewWorker::work, Qt::QueuedConnection);
    }
}

void PreviewWorker::work()
{
    for (;;) {
        QMutexLocker lock(&m_mutex);
        const quint64 generation = m_generation;
        if (m_pendingDocument) {
            std::shared_ptr<const Bytes> pdf = std::exchange(m_pendingDocument, nullptr);
            m_jobs = std::exchange(m_firstJobs, {});
            lock.unlock();
            m_renderer.reset();
            m_renderer = PdfRenderer::open(std::move(pdf));
            QList<QSizeF> sizes;
            if (m_renderer) {
                for (const PageSize& size : m_renderer->pageSizes()) {
                    sizes.append(QSizeF(size.width, size.height));
                }
            }
            emit opened(generation, sizes);
        } else if (!m_jobs.isEmpty() && m_renderer) {
            const Job job = m_jobs.takeFirst();
            lock.unlock();
            const QImage image = draw(job);
            lock.relock();
            // Asked for again while it was being drawn: it is done.
            if (generation == m_generation) {
                m_jobs.removeAll(job);
            }
            lock.unlock();
            emit drawn(generation, job.page, job.pixelWidth, image);
        } else {
            m_scheduled = false;
            return;
        }
    }
}

QImage PreviewWorker::draw(const Job& job) const
{
    const auto& sizes = m_renderer->pageSizes();
    if (job.page < 0 || job.page >= static_cast<int>(sizes.size()) || sizes[job.page].width <= 0) {
        return {};
    }
    const auto bitmap = m_renderer->render(job.page, job.pixelWidth / sizes[job.page].width);
    if (!bitmap) {
        return {};
    }
    // RGB32 paints without a conversion on every frame.
    return QImage(bitmap->pixels.data(), bitmap->width, bitmap->height, bitmap->stride, QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

} // namespace lumafold
