// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QList>
#include <QThread>

#include <memory>
#include <optional>

namespace lumafold {

class PreviewWorker;

// A PDF held in memory as one scrolling column of pages, each as wide as the view. Only the pages
// in view are drawn, on a thread of its own at the screen's pixel density; a page not drawn yet
// shows as a white sheet of its size.
class PDFPreview : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit PDFPreview(QWidget* parent = nullptr);
    ~PDFPreview() override;

    // The same bytes as shown change nothing. Other bytes replace the document, keeping the page
    // in view where the new one still has it; bytes that are no readable PDF leave the view empty.
    void setData(const Bytes& pdf);
    void setData(const QByteArray& pdf);

    int pageCount() const;
    // Where page `index` lies in the viewport's coordinates, also when out of view.
    QRect pageRect(int index) const;
    // The page under a point of the viewport, or -1.
    int pageAt(const QPoint& point) const;
    // The picture drawn for page `index` (its device pixel ratio set), null while none is.
    QImage pageImage(int index) const;

signals:
    // A new document is shown, with `pageCount` pages (0 for bytes that are no PDF).
    void documentLoaded(int pageCount);
    void pageDrawn(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    struct Drawn
    {
        QImage image;
        int pixelWidth = 0;
    };
    // Where the reader is: a page and how far down it (0 to 1, gap included).
    struct Place
    {
        int page = 0;
        double depth = 0;
    };

    void showDocument(quint64 generation, const QList<QSizeF>& pageSizes);
    void takeDrawing(quint64 generation, int page, int pixelWidth, const QImage& image);
    void layOut();
    Place place() const;
    void moveTo(const Place& place);
    int pageWidth() const;
    int pixelWidth() const;
    int firstPageBelow(int y) const;
    void requestVisiblePages();
    void paintPage(QPainter& painter, int index, const QRect& rect);

    std::unique_ptr<PreviewWorker> m_worker;
    QThread m_thread;
    std::shared_ptr<const Bytes> m_data;
    quint64 m_generation = 0;
    QList<QSizeF> m_pageSizes;
    // Each page's top and height in the scrolled content, in logical pixels.
    QList<int> m_tops;
    QList<int> m_heights;
    int m_contentHeight = 0;
    mutable QCache<int, Drawn> m_drawn;
    qreal m_requestedRatio = 0;
};

} // namespace lumafold
