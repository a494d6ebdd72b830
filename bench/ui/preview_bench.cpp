// SPDX-License-Identifier: AGPL-3.0-or-later
// The result preview of a whole PDF, as the window shows it: the time from the bytes arriving
// to the first page drawn, and how many pages are drawn while reading through the document.
//   bench_preview FILE   (run with QT_QPA_PLATFORM=offscreen; QT_SCALE_FACTOR=2 for a dense screen)
#include "lumafold/LumafoldEngine.h"
#include "lumafold/PdfRenderer.h"
#include "ui/PDFPreview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>
#include <set>

using namespace lumafold;

namespace {

double seconds(const QElapsedTimer& clock)
{
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Runs the event loop until `done` holds, checking after each `signal` and after the timeout.
template <typename Signal, typename Predicate>
bool waitFor(PDFPreview& preview, Signal signal, Predicate done, int timeoutMs = 10000)
{
    QEventLoop loop;
    QObject::connect(&preview, signal, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!done()) {
        loop.exec();
    }
    return done();
}

// The first and last page that the view shows.
std::pair<int, int> inView(const PDFPreview& preview)
{
    int first = -1, last = -1;
    for (int page = 0; page < preview.pageCount(); ++page) {
        if (preview.pageRect(page).intersects(preview.viewport()->rect())) {
            first = first < 0 ? page : first;
            last = page;
        }
    }
    return {first, last};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_preview FILE\n");
        return 2;
    }
    // The bytes the model hands over: every page of the file, assembled as for export.
    const auto pages = LumafoldEngine::descriptors(argv[1]);
    const PagesResult result = LumafoldEngine::assemble(pages, false);
    const QByteArray pdf(reinterpret_cast<const char*>(result.data.data()), static_cast<qsizetype>(result.data.size()));

    QElapsedTimer clock;
    clock.start();
    const auto renderer = PdfRenderer::open(Bytes(result.data));
    std::printf("open_and_sizes_seconds %.4f\n", seconds(clock));

    PDFPreview preview;
    preview.resize(560, 820);
    preview.show();
    std::set<int> drawn;
    QObject::connect(&preview, &PDFPreview::pageDrawn, [&](int page) { drawn.insert(page); });
    bool loaded = false;
    QObject::connect(&preview, &PDFPreview::documentLoaded, [&] { loaded = true; });

    clock.restart();
    preview.setData(pdf);
    if (!waitFor(preview, &PDFPreview::documentLoaded, [&] { return loaded; })) {
        return 1;
    }
    std::printf("pages %d\nloaded_seconds %.4f\n", preview.pageCount(), seconds(clock));
    if (!waitFor(preview, &PDFPreview::pageDrawn, [&] { return drawn.count(0) > 0; })) {
        return 1;
    }
    std::printf("first_page_seconds %.4f\n", seconds(clock));
    std::printf("device_pixels %d x %d\n", preview.pageImage(0).width(), preview.pageImage(0).height());

    // Read on a screen at a time through the first 100 pages, each screen waited for.
    QScrollBar& bar = *preview.verticalScrollBar();
    std::set<int> shown;
    const int start = static_cast<int>(drawn.size());
    clock.restart();
    while (inView(preview).first < 100 && bar.value() < bar.maximum()) {
        bar.setValue(bar.value() + bar.pageStep());
        const auto [first, last] = inView(preview);
        for (int page = first; page <= last; ++page) {
            shown.insert(page);
        }
        waitFor(preview, &PDFPreview::pageDrawn, [&] { return drawn.count(last) > 0; });
    }
    std::printf("reading_seconds_per_page %.4f\n",
                seconds(clock) / static_cast<double>(std::max<std::size_t>(1, shown.size())));
    std::printf("pages_shown_while_reading %zu\npages_drawn_while_reading %zu\n", shown.size(), drawn.size() - start);

    // A jump to the middle draws what is there, not what lies between.
    const std::size_t before = drawn.size();
    clock.restart();
    bar.setValue(bar.maximum() / 2);
    const int middle = inView(preview).first;
    waitFor(preview, &PDFPreview::pageDrawn, [&] { return drawn.count(middle) > 0; });
    std::printf("jump_seconds %.4f\n", seconds(clock));
    QTimer::singleShot(500, &app, &QApplication::quit);
    app.exec();
    std::printf("pages_drawn_after_jump %zu\n", drawn.size() - before);
    return renderer ? 0 : 1;
}
