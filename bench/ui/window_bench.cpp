// SPDX-License-Identifier: AGPL-3.0-or-later
// The main window over a real workspace, as `lumafold FILE...` builds it (run on a real X server,
// QT_QPA_PLATFORM=xcb, so that painting is real):
//   bench_window open FILE      the file is added once the window shows; times from the window
//                               being exposed to the first painted cards and to every card having
//                               its picture with the grid painted after that
//   bench_window parts FILE     where the adding time goes: reading the page list, drawing every
//                               picture on 1 and on every core, and drawing only the first screenful
//   bench_window draw THREADS BATCH FILE...
//                               the engine alone drawing every picture: its share of the memory,
//                               all at once (BATCH 0) or BATCH pages a call
//   bench_window scroll FILE... every file added at once; once every card has its picture and the
//                               preview is done, the grid is scrolled to 20 positions from top to
//                               bottom and each repaint timed; then the peak resident memory
#include "../model/BenchWorkspace.h"
#include "lumafold/LumafoldEngine.h"
#include "model/ThumbnailStore.h"
#include "ui/LumafoldDelegate.h"
#include "ui/MainWindow.h"
#include "ui/PageGridView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <malloc.h>
#include <vector>

using namespace lumafold;

namespace {

double seconds(qint64 nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e9;
}

int picturesIn(const AppModel& model)
{
    return static_cast<int>(std::count_if(model.pages().begin(), model.pages().end(),
                                          [](const PageItem& page) { return !page.thumbnailData.isNull(); }));
}

// Calls `exposed` once the window is on screen and `painted` after each paint of the grid has
// gone out to it (the event loop's next turn, once the whole window's repaint has been flushed).
class PaintWatcher : public QObject
{
public:
    std::function<void()> exposed;
    std::function<void()> painted;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && exposed) {
            if (auto* window = qobject_cast<QWindow*>(watched); window && window->isExposed()) {
                std::exchange(exposed, nullptr)();
            }
        } else if (event->type() == QEvent::Paint && painted) {
            QTimer::singleShot(0, this, [this] {
                if (painted) {
                    painted();
                }
            });
        }
        return false;
    }
};

// Runs the event loop until `done` holds, checking every few milliseconds; false after `timeoutMs`.
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

// The window over a fresh workspace, put together as the program does.
struct Window
{
    bench::SilentDialogs dialogs;
    AppModel model{dialogs};
    LumafoldDelegate delegate{dialogs};
    MainWindow window{model, delegate, dialogs};

    PageGridView* grid() const { return window.findChild<PageGridView*>(QStringLiteral("pageGridView")); }
};

QList<QUrl> locations(int count, char** files)
{
    QList<QUrl> urls;
    for (int i = 0; i < count; ++i) {
        urls << QUrl::fromLocalFile(QFile::decodeName(files[i]));
    }
    return urls;
}

int openScenario(const char* file)
{
    QElapsedTimer clock;
    clock.start();
    Window shown;
    AppModel& model = shown.model;
    PageGridView* grid = shown.grid();
    PaintWatcher watcher;
    qint64 exposedAt = -1, addedAt = -1, loadedAt = -1, firstCardsAt = -1, allPicturesAt = -1;
    int visibleCards = 0;
    watcher.exposed = [&] {
        exposedAt = clock.nsecsElapsed();
    };
    watcher.painted = [&] {
        if (model.pages().isEmpty()) {
            return;
        }
        if (firstCardsAt < 0) {
            firstCardsAt = clock.nsecsElapsed();
            for (int row = 0; row < grid->model()->rowCount(); ++row) {
                visibleCards += grid->visualRect(grid->model()->index(row, 0)).intersects(grid->viewport()->rect());
            }
        }
        if (allPicturesAt < 0 && picturesIn(model) == model.pages().size()) {
            allPicturesAt = clock.nsecsElapsed();
        }
    };
    QObject::connect(&model, &AppModel::isLoadingChanged, [&] {
        if (!model.isLoading()) {
            loadedAt = clock.nsecsElapsed();
        }
    });
    grid->viewport()->installEventFilter(&watcher);
    // As the program does: the file is taken first and added once the window shows.
    shown.delegate.accept(locations(1, const_cast<char**>(&file)));
    shown.window.show();
    shown.window.windowHandle()->installEventFilter(&watcher);
    addedAt = clock.nsecsElapsed();
    shown.delegate.setModel(&model);
    const bool done = spinUntil([&] { return allPicturesAt >= 0 || (loadedAt >= 0 && model.pages().isEmpty()); });
    QThreadPool::globalInstance()->waitForDone();
    if (!done || model.pages().isEmpty() || exposedAt < 0) {
        std::fprintf(stderr, "%s: no cards with pictures in time\n", file);
        return 1;
    }
    std::printf("cards %lld\npictures %d\nvisible_cards %d\n", static_cast<long long>(model.pages().size()),
                picturesIn(model), visibleCards);
    std::printf("exposed_seconds %.3f\n", seconds(exposedAt));
    std::printf("add_called_after_exposed_seconds %.3f\n", seconds(addedAt - exposedAt));
    std::printf("cards_in_model_after_exposed_seconds %.3f\n", seconds(loadedAt - exposedAt));
    std::printf("first_cards_after_exposed_seconds %.3f\n", seconds(firstCardsAt - exposedAt));
    std::printf("all_pictures_after_exposed_seconds %.3f\n", seconds(allPicturesAt - exposedAt));
    return 0;
}

int partsScenario(const char* file, int firstScreen)
{
    QElapsedTimer clock;
    clock.start();
    const std::vector<PageDescriptor> pages = LumafoldEngine::descriptors(file);
    std::printf("pages %zu\nread_page_list_seconds %.3f\n", pages.size(), seconds(clock.nsecsElapsed()));
    const auto cores = static_cast<unsigned>(std::max(1, QThread::idealThreadCount()));
    for (const unsigned threads : {1U, cores}) {
        clock.restart();
        const auto pictures = LumafoldEngine::thumbnailsData(pages, ThumbnailStore::maxPixelSize, threads);
        std::printf("draw_all_%u_threads_seconds %.3f\n", threads, seconds(clock.nsecsElapsed()));
    }
    const std::vector<PageDescriptor> screen(pages.begin(),
                                             pages.begin() + std::min<std::ptrdiff_t>(firstScreen, std::ssize(pages)));
    clock.restart();
    const auto pictures = LumafoldEngine::thumbnailsData(screen, ThumbnailStore::maxPixelSize, cores);
    std::printf("first_screen_pages %zu\ndraw_first_screen_seconds %.3f\n", screen.size(),
                seconds(clock.nsecsElapsed()));
    return 0;
}

// The engine alone drawing every picture, as the model's adding does, for its share of the memory.
int drawScenario(unsigned threads, std::size_t batch, int count, char** files)
{
    std::vector<PageDescriptor> pages;
    for (int i = 0; i < count; ++i) {
        const auto filePages = LumafoldEngine::descriptors(files[i]);
        pages.insert(pages.end(), filePages.begin(), filePages.end());
    }
    const long before = bench::memoryKb("VmRSS");
    QElapsedTimer clock;
    clock.start();
    // Pages in batches of `batch` calls, each opening its files afresh: what drawing costs when
    // no document stays open for more than that many pages.
    std::vector<std::optional<Bytes>> pictures;
    for (std::size_t first = 0; first < pages.size(); first += batch) {
        const std::vector<PageDescriptor> part(pages.begin() + static_cast<std::ptrdiff_t>(first),
                                               pages.begin() +
                                                   static_cast<std::ptrdiff_t>(std::min(first + batch, pages.size())));
        auto drawn = LumafoldEngine::thumbnailsData(part, ThumbnailStore::maxPixelSize, threads);
        std::move(drawn.begin(), drawn.end(), std::back_inserter(pictures));
    }
    std::printf("draw_seconds %.3f\n", seconds(clock.nsecsElapsed()));
    std::size_t bytes = 0;
    for (const auto& picture : pictures) {
        bytes += picture ? picture->size() : 0;
    }
    std::printf("pages %zu\nresident_before_kb %ld\npicture_kb %zu\nresident_after_kb %ld\npeak_kb %ld\n", pages.size(),
                before, bytes / 1024, bench::memoryKb("VmRSS"), bench::memoryKb("VmHWM"));
    // What of the rest is memory freed but kept by the allocator rather than still in use.
    malloc_trim(0);
    std::printf("resident_after_trim_kb %ld\n", bench::memoryKb("VmRSS"));
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : (values[(values.size() - 1) / 2] + values[values.size() / 2]) / 2;
}

int scrollScenario(int count, char** files)
{
    QElapsedTimer clock;
    clock.start();
    Window shown;
    AppModel& model = shown.model;
    PageGridView* grid = shown.grid();
    shown.window.show();
    spinUntil([&] { return shown.window.windowHandle()->isExposed(); });
    const long residentAtStart = bench::memoryKb("VmRSS");
    model.add(locations(count, files));
    spinUntil([&] { return !model.isLoading(); });
    const double loaded = seconds(clock.nsecsElapsed());
    const long peakLoaded = bench::memoryKb("VmHWM");
    // The preview assembles every card once they are in; its memory belongs to the figure.
    spinUntil([&] { return !model.isRenderingPreview() && model.previewResult().has_value(); });
    const qint64 settled = clock.elapsed() + 2000;
    spinUntil([&] { return clock.elapsed() > settled; });
    if (model.pages().isEmpty()) {
        std::fprintf(stderr, "no cards\n");
        return 1;
    }
    std::printf("cards %lld\npictures %d\nloaded_seconds %.3f\n", static_cast<long long>(model.pages().size()),
                picturesIn(model), loaded);
    qint64 pictureBytes = 0;
    for (const PageItem& page : model.pages()) {
        pictureBytes += page.thumbnailData.size();
    }
    std::printf("resident_at_start_kb %ld\npicture_kb %lld\n", residentAtStart,
                static_cast<long long>(pictureBytes / 1024));
    std::printf("peak_when_cards_in_kb %ld\npeak_after_preview_kb %ld\nresident_before_scroll_kb %ld\n", peakLoaded,
                bench::memoryKb("VmHWM"), bench::memoryKb("VmRSS"));

    QScrollBar* bar = grid->verticalScrollBar();
    constexpr int positions = 20;
    for (const char* pass : {"first", "again"}) {
        std::vector<double> frames;
        for (int i = 0; i < positions; ++i) {
            bar->setValue(bar->minimum() +
                          static_cast<int>(qint64{bar->maximum() - bar->minimum()} * i / (positions - 1)));
            QElapsedTimer frame;
            frame.start();
            grid->viewport()->repaint();
            frames.push_back(static_cast<double>(frame.nsecsElapsed()) / 1e6);
            // Not timed: what the scroll itself left to paint.
            QCoreApplication::processEvents();
        }
        std::printf("scroll_%s_max_ms %.2f\nscroll_%s_median_ms %.2f\n", pass,
                    *std::max_element(frames.begin(), frames.end()), pass, median(frames));
        std::printf("scroll_%s_frames_ms", pass);
        for (const double ms : frames) {
            std::printf(" %.1f", ms);
        }
        std::printf("\n");
    }
    std::printf("scroll_range %d\nresident_kb %ld\npeak_kb %ld\n", bar->maximum(), bench::memoryKb("VmRSS"),
                bench::memoryKb("VmHWM"));
    QThreadPool::globalInstance()->waitForDone();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "open") == 0) {
        return openScenario(argv[2]);
    }
    if (argc >= 3 && std::strcmp(argv[1], "parts") == 0) {
        return partsScenario(argv[2], argc > 3 ? std::atoi(argv[3]) : 24);
    }
    if (argc >= 5 && std::strcmp(argv[1], "draw") == 0) {
        const int batch = std::atoi(argv[3]);
        return drawScenario(static_cast<unsigned>(std::max(1, std::atoi(argv[2]))),
                            batch > 0 ? static_cast<std::size_t>(batch) : SIZE_MAX, argc - 4, argv + 4);
    }
    if (argc >= 3 && std::strcmp(argv[1], "scroll") == 0) {
        return scrollScenario(argc - 2, argv + 2);
    }
    std::fprintf(
        stderr,
        "usage: bench_window open FILE | parts FILE [FIRST_SCREEN] | draw THREADS BATCH FILE... | scroll FILE...\n");
    return 2;
}
