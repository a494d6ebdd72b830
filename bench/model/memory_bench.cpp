// SPDX-License-Identifier: AGPL-3.0-or-later
// Adds one PDF, makes CHANGES undoable rotations of every card (alternating directions), lets the
// preview finish and reports the resident memory.
//   bench_model_memory FILE [CHANGES]
#include "BenchWorkspace.h"

using namespace lumafold;

int main(int argc, char** argv)
{
    const int changes = argc > 2 ? std::atoi(argv[2]) : 50;
    return bench::runScenario(argc, argv, "FILE [CHANGES]", [&](AppModel& model) {
        if (!bench::addAndWait(model, argv[1])) {
            return 1;
        }
        model.selectAll();
        for (int i = 0; i < changes; ++i) {
            model.rotateSelected(i % 2 == 0);
        }
        bench::waitFor(model, &AppModel::isRenderingPreviewChanged, [&] { return !model.isRenderingPreview(); });
        std::printf("cards %lld\nundo_steps %lld\npreview %s\nresident_kb %ld\npeak_kb %ld\n",
                    static_cast<long long>(model.pages().size()), static_cast<long long>(model.undoStack().size()),
                    model.previewResult() ? "ready" : "missing", bench::memoryKb("VmRSS"), bench::memoryKb("VmHWM"));
        return 0;
    });
}
