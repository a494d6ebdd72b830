// SPDX-License-Identifier: AGPL-3.0-or-later
// Adds one PDF to a fresh workspace and reports the time until its cards are in the model.
//   bench_model_add FILE
#include "BenchWorkspace.h"

#include <QElapsedTimer>

using namespace lumafold;

int main(int argc, char** argv)
{
    return bench::runScenario(argc, argv, "FILE", [&](AppModel& model) {
        QElapsedTimer clock;
        clock.start();
        if (!bench::addAndWait(model, argv[1])) {
            return 1;
        }
        const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        int pictures = 0;
        for (const PageItem& card : model.pages()) {
            pictures += card.thumbnailData.isNull() ? 0 : 1;
        }
        std::printf("cards %lld\npictures %d\nadd_seconds %.3f\n", static_cast<long long>(model.pages().size()),
                    pictures, seconds);
        return 0;
    });
}
