// SPDX-License-Identifier: AGPL-3.0-or-later
// Rotates every card of one PDF: clockwise (pictures turned), back (pictures known), and clockwise
// again (known); reports how long each call takes to return.
//   bench_model_rotate FILE
#include "BenchWorkspace.h"

#include <QElapsedTimer>

using namespace lumafold;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    bench::SilentDialogs dialogs;
    AppModel model(dialogs);
    if (!bench::addAndWait(model, argv[1])) {
        return 1;
    }
    model.selectAll();
    std::printf("cards %lld\n", static_cast<long long>(model.pages().size()));
    const std::pair<const char*, bool> steps[] = {
        {"rotate_turned_seconds", true}, {"rotate_back_seconds", false}, {"rotate_again_seconds", true}};
    for (const auto& [name, clockwise] : steps) {
        QElapsedTimer clock;
        clock.start();
        model.rotateSelected(clockwise);
        std::printf("%s %.3f\n", name, static_cast<double>(clock.nsecsElapsed()) / 1e9);
    }
    return 0;
}
