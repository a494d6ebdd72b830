// SPDX-License-Identifier: AGPL-3.0-or-later
// Rotates every card of one PDF: clockwise (pictures turned), back (pictures known), and clockwise
// again (known); reports how long each call takes to return and how long until every card shows
// its turned picture.
//   bench_model_rotate FILE
#include "BenchWorkspace.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImageReader>

using namespace lumafold;

int main(int argc, char** argv)
{
    return bench::runScenario(argc, argv, "FILE", [&](AppModel& model) {
        if (!bench::addAndWait(model, argv[1])) {
            return 1;
        }
        model.selectAll();
        std::printf("cards %lld\n", static_cast<long long>(model.pages().size()));
        const std::pair<const char*, bool> steps[] = {
            {"rotate_turned_seconds", true}, {"rotate_back_seconds", false}, {"rotate_again_seconds", true}};
        // The call returns at once; pictures not known yet follow from the background.
        const auto everyPictureLandscape = [&](bool landscape) {
            for (const PageItem& card : model.pages()) {
                QBuffer buffer;
                buffer.setData(card.thumbnailData);
                const QSize size = QImageReader(&buffer, "JPEG").size();
                if ((size.width() > size.height()) != landscape) {
                    return false;
                }
            }
            return true;
        };
        bool landscape = false;
        for (const auto& [name, clockwise] : steps) {
            QElapsedTimer clock;
            clock.start();
            model.rotateSelected(clockwise);
            std::printf("%s %.3f\n", name, static_cast<double>(clock.nsecsElapsed()) / 1e9);
            landscape = !landscape;
            bench::waitFor(model, &AppModel::pagesChanged, [&] { return everyPictureLandscape(landscape); });
            std::printf("%s_pictures %.3f\n", name, static_cast<double>(clock.nsecsElapsed()) / 1e9);
        }
        return 0;
    });
}
