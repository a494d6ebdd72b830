// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/PDFPreview.h"

#include "ui/PreviewWorker.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace lumafold {

namespace {

constexpr int sideMargin = 16;
constexpr int endMargin = 16;
constexpr int pageGap = 12;
constexpr int shadowSize = 4;
// Pages this far beyond the view are drawn ahead, so that a short scroll finds them ready.
constexpr double aheadFraction = 0.25;
constexpr qsizetype cacheKilobytes = 64 * 1024;

} // namespace

PDFPreview::PDFPreview(QWidget* parent) : QAbstractScrollArea(parent), m_worker(std::make_unique<PreviewWorker>())
{
    setObjectName(QStringLiteral("previewView"));
    setAccessibleName(tr("Result preview"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A scroll bar that came and went with the length would change the width, and with it the length.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setSingleStep(40);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    m_drawn.setMaxCost(cacheKilobytes);

    m_worker->moveToThread(&m_thread);
    connect(m_worker.get(), &PreviewWorker::opened, this, &PDFPreview::showDocument);
    connect(m_worker.get(), &PreviewWorker::drawn, this, &PDFPreview::takeDrawing);
    m_thread.setObjectName(QStringLiteral("Preview pages"));
    m_thread.start();
}

PDFPreview::~PDFPreview()
{
    m_worker->close();
    m_thread.quit();
    m_thread.wait();
}

void PDFPreview::setData(const QByteArray& pdf)
{
    setData(Bytes(pdf.begin(), pdf.end()));
}

void PDFPreview::setData(const Bytes& pdf)
{
    if (m_data && *m_data == pdf) {
        return;
    }
    // One copy, shared with the drawing thread: a large document is held twice at most, here
    // and by whoever handed it over.
    m_data = std::make_shared<const Bytes>(pdf);
    ++m_generation;
    // Every page is as wide as the view, so the pages at the reader's place can be drawn before
    // the new document's layout is known.
    const int page = place().page;
    m_worker->open(m_generation, m_data, {{page, pixelWidth()}, {page + 1, pixelWidth()}});
}

int PDFPreview::pageCount() const
{
    return static_cast<int>(m_pageSizes.size());
}

QRect PDFPreview::pageRect(int index) const
{
    if (index < 0 || index >= m_tops.size()) {
        return {};
    }
    return QRect(sideMargin, m_tops[index] - verticalScrollBar()->value(), pageWidth(), m_heights[index]);
}

int PDFPreview::pageAt(const QPoint& point) const
{
    const int index = firstPageBelow(point.y() + verticalScrollBar()->value());
    return pageRect(index).contains(point) ? index : -1;
}

QImage PDFPreview::pageImage(int index) const
{
    const Drawn* drawn = m_drawn.object(index);
    return drawn ? drawn->image : QImage();
}

void PDFPreview::showDocument(quint64 generation, const QList<QSizeF>& pageSizes)
{
    if (generation != m_generation) {
        return;
    }
    // The same place in a changed arrangement: a reload follows every edit, and being sent back
    // to the first page after each one would lose the reader.
    const Place kept = place();
    m_pageSizes = pageSizes;
    m_drawn.clear();
    layOut();
    moveTo(kept);
    viewport()->update();
    requestVisiblePages();
    emit documentLoaded(pageCount());
}

void PDFPreview::takeDrawing(quint64 generation, int page, int pixelWidth, const QImage& image)
{
    if (generation != m_generation || page >= pageCount()) {
        return;
    }
    // A page that cannot be drawn is remembered too, as a null image, so it is not asked for again.
    auto* drawn = new Drawn{image, pixelWidth};
    drawn->image.setDevicePixelRatio(devicePixelRatioF());
    m_drawn.insert(page, drawn, std::max<qsizetype>(1, image.sizeInBytes() / 1024));
    viewport()->update(pageRect(page).adjusted(-shadowSize, -shadowSize, shadowSize, shadowSize));
    emit pageDrawn(page);
}

int PDFPreview::pageWidth() const
{
    return std::max(1, viewport()->width() - 2 * sideMargin);
}

int PDFPreview::pixelWidth() const
{
    return qRound(pageWidth() * devicePixelRatioF());
}

void PDFPreview::layOut()
{
    const int width = pageWidth();
    const auto count = m_pageSizes.size();
    m_tops.resize(count);
    m_heights.resize(count);
    int y = endMargin;
    for (qsizetype i = 0; i < count; ++i) {
        const QSizeF size = m_pageSizes[i];
        const double aspect = size.width() > 0 && size.height() > 0 ? size.height() / size.width() : 1.0;
        m_tops[i] = y;
        m_heights[i] = std::max(1, qRound(width * aspect));
        y += m_heights[i] + pageGap;
    }
    m_contentHeight = count > 0 ? y - pageGap + endMargin : 0;
    verticalScrollBar()->setRange(0, std::max(0, m_contentHeight - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    // Room for a few pages even on a large high-density screen.
    const qsizetype pageKilobytes = qsizetype(pixelWidth()) * pixelWidth() * 4 * 3 / 2 / 1024;
    m_drawn.setMaxCost(std::max(cacheKilobytes, 6 * pageKilobytes));
}

int PDFPreview::firstPageBelow(int y) const
{
    // The first page whose bottom edge lies below y.
    int low = 0, high = static_cast<int>(m_tops.size());
    while (low < high) {
        const int middle = (low + high) / 2;
        if (m_tops[middle] + m_heights[middle] > y) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

PDFPreview::Place PDFPreview::place() const
{
    if (m_tops.isEmpty()) {
        return {};
    }
    const int y = verticalScrollBar()->value();
    const int page = std::min(firstPageBelow(y), static_cast<int>(m_tops.size()) - 1);
    // A page's stretch runs from its top (the very top for the first) to the next page's top.
    const int start = page == 0 ? 0 : m_tops[page];
    const int end = m_tops[page] + m_heights[page] + pageGap;
    return {page, std::clamp(double(y - start) / (end - start), 0.0, 1.0)};
}

void PDFPreview::moveTo(const Place& place)
{
    if (m_tops.isEmpty()) {
        verticalScrollBar()->setValue(0);
        return;
    }
    const int page = std::min(place.page, static_cast<int>(m_tops.size()) - 1);
    const int start = page == 0 ? 0 : m_tops[page];
    const int end = m_tops[page] + m_heights[page] + pageGap;
    verticalScrollBar()->setValue(start + qRound(place.depth * (end - start)));
}

void PDFPreview::requestVisiblePages()
{
    if (!isVisible()) {
        return;
    }
    m_requestedRatio = devicePixelRatioF();
    QList<PreviewWorker::Job> jobs;
    const int top = verticalScrollBar()->value();
    const int height = viewport()->height();
    const int ahead = qRound(height * aheadFraction);
    const int wanted = pixelWidth();
    const int count = pageCount();
    const auto add = [&](int from, int to) {
        for (int page = std::max(from, 0); page < std::min(to, count); ++page) {
            const Drawn* drawn = m_drawn.object(page);
            if (!drawn || drawn->pixelWidth != wanted) {
                jobs.append({page, wanted});
            }
        }
    };
    const int first = firstPageBelow(top);
    const int afterView = firstPageBelow(top + height);
    const int afterAhead = firstPageBelow(top + height + ahead) + 1;
    const int beforeAhead = firstPageBelow(top - ahead);
    add(first, afterView + 1);
    add(afterView + 1, afterAhead);
    add(beforeAhead, first);
    m_worker->want(m_generation, jobs);
}

void PDFPreview::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QColor window = palette().color(QPalette::Window);
    painter.fillRect(event->rect(), window.lightness() > 128 ? window.darker(112) : window.darker(135));
    const int offset = verticalScrollBar()->value();
    const QRect exposed = event->rect().adjusted(0, -shadowSize, 0, shadowSize);
    for (int page = firstPageBelow(offset + exposed.top());
         page < pageCount() && m_tops[page] - offset <= exposed.bottom(); ++page) {
        paintPage(painter, page, pageRect(page));
    }
    // Moved to a screen of another pixel density: draw again at the new one.
    if (m_requestedRatio != 0 && m_requestedRatio != devicePixelRatioF()) {
        QTimer::singleShot(0, this, &PDFPreview::requestVisiblePages);
    }
}

void PDFPreview::paintPage(QPainter& painter, int index, const QRect& rect)
{
    painter.setPen(Qt::NoPen);
    for (int spread = shadowSize; spread > 0; --spread) {
        painter.setBrush(QColor(0, 0, 0, 14));
        painter.drawRoundedRect(rect.adjusted(-spread, 2 - spread, spread, spread + 1), spread, spread);
    }
    painter.fillRect(rect, Qt::white);
    const Drawn* drawn = m_drawn.object(index);
    if (!drawn || drawn->image.isNull()) {
        return;
    }
    painter.save();
    painter.setClipRect(rect);
    if (drawn->pixelWidth == pixelWidth()) {
        painter.drawImage(rect.topLeft(), drawn->image);
    } else {
        // Drawn for another width: shown stretched until the new drawing arrives.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect), drawn->image);
    }
    painter.restore();
}

void PDFPreview::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    const Place kept = place();
    layOut();
    moveTo(kept);
    requestVisiblePages();
}

void PDFPreview::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
    requestVisiblePages();
}

void PDFPreview::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) {
        verticalScrollBar()->triggerAction(event->key() == Qt::Key_Home ? QAbstractSlider::SliderToMinimum
                                                                        : QAbstractSlider::SliderToMaximum);
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void PDFPreview::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    requestVisiblePages();
}

} // namespace lumafold
