// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PdfRenderer.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSizeF>

#include <memory>
#include <optional>

namespace lumafold {

// Draws the pages of one document at a time for PDFPreview, on the thread it is moved to, which
// alone owns the open document. open, want and close may be called from any thread; what they
// ask is picked up in order, and only the newest document and the newest list of wanted pages
// count. Results come back as signals carrying values, tagged with the generation they were
// asked for.
class PreviewWorker : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        int page = 0;
        int pixelWidth = 0;
        bool operator==(const Job&) const = default;
    };

    // Replaces the document; every job of an older generation is dropped. `first` are drawn
    // right after it opens, without waiting for a want() that needs its page sizes.
    void open(quint64 generation, std::shared_ptr<const Bytes> pdf, const QList<Job>& first);
    // Replaces the pages still to draw of `generation`, the most wanted first.
    void want(quint64 generation, const QList<Job>& jobs);
    // Lets go of the document on the worker's thread and blocks until it has; nothing is drawn after.
    void close();

signals:
    // The document's page sizes in points, none when it is not a readable PDF.
    void opened(quint64 generation, const QList<QSizeF>& pageSizes);
    void drawn(quint64 generation, int page, int pixelWidth, const QImage& image);

private:
    void schedule();
    void work();
    QImage draw(const Job& job) const;

    QMutex m_mutex;
    // Guarded by m_mutex.
    quint64 m_generation = 0;
    std::shared_ptr<const Bytes> m_pendingDocument;
    QList<Job> m_firstJobs;
    QList<Job> m_jobs;
    bool m_scheduled = false;
    bool m_closed = false;
    // Touched only on the worker's thread.
    std::optional<PdfRenderer> m_renderer;
};

} // namespace lumafold
