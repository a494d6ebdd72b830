// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "model/AppModel.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QUrl>

#include <cstdio>
#include <string>

namespace lumafold::bench {

// No one answers: the benchmarks never ask.
class SilentDialogs : public Dialogs
{
public:
    QList<QUrl> chooseFiles(const FileChoice&) override { return {}; }
    std::optional<QUrl> chooseFolder(const FolderChoice&) override { return std::nullopt; }
    int alert(const Alert&) override { return -1; }
    void revealInFileManager(const QList<QUrl>&) override {}
    void openUrl(const QUrl&) override {}
};

// Runs the event loop until `done` holds, checking whenever `changed` is emitted.
template <typename Signal, typename Predicate> void waitFor(AppModel& model, Signal changed, Predicate done)
{
    QEventLoop loop;
    QObject::connect(&model, changed, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    if (!done()) {
        loop.exec();
    }
}

// Runs `scenario(model)` on a fresh workspace in a running application; argv[1] names the PDF.
// Returns the scenario's exit status, or 2 without a file.
template <typename Scenario> int runScenario(int argc, char** argv, const char* usage, Scenario scenario)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s %s\n", argv[0], usage);
        return 2;
    }
    SilentDialogs dialogs;
    AppModel model(dialogs);
    return scenario(model);
}

inline bool addAndWait(AppModel& model, const char* file)
{
    model.add({QUrl::fromLocalFile(QFile::decodeName(file))});
    waitFor(model, &AppModel::isLoadingChanged, [&] { return !model.isLoading(); });
    if (model.pages().isEmpty()) {
        std::fprintf(stderr, "%s gave no cards\n", file);
        return false;
    }
    return true;
}

// "VmRSS" or "VmHWM" of this process, in kilobytes.
inline long memoryKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(static_cast<qsizetype>(std::string(field).size()) + 1)
                .trimmed()
                .split(' ')
                .value(0)
                .toLong();
        }
    }
    return -1;
}

} // namespace lumafold::bench
