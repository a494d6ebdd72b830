// SPDX-License-Identifier: AGPL-3.0-or-later
#include "automation/CombineCommand.h"
#include "automation/DesktopNotification.h"
#include "automation/ProcessSetup.h"
#include "automation/ServiceCommand.h"
#include "automation/WindowLauncher.h"
#include "model/AppModel.h"
#include "model/BundleInfo.h"
#include "ui/Appearance.h"
#include "ui/LumafoldDelegate.h"
#include "ui/MainWindow.h"
#include "ui/PlatformDialogs.h"
#include "ui/SingleInstance.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* usage = R"(Usage: lumafold [FILE]...
       lumafold combine [OPTION]... FILE...
       lumafold --dbus-service [--idle-timeout SECONDS]
       lumafold --help | --version

  combine         combine PDF files into one new PDF without opening a window
                  (see lumafold combine --help)
  --dbus-service  serve app.marlo.Lumafold on the session bus without a window,
                  exiting after SECONDS (default 10) without a call
)";

// The window, with the files named on the command line added once it shows; or, when this
// session already has a window, those files handed to it. A window started by the headless
// service takes the name over from it instead.
int showWindow(int argc, char** argv, const std::vector<std::string>& arguments, bool takeOver)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Marlo"));
    QApplication::setApplicationName(QStringLiteral("Lumafold"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lumafold"));
    QApplication::setDesktopFileName(QStringLiteral("app.marlo.Lumafold"));
    lumafold::installTranslations(
        application,
        QDir(QApplication::applicationDirPath()).filePath(QStringLiteral(LUMAFOLD_TRANSLATIONS_FROM_LIBEXEC)));

    QList<QUrl> files;
    for (const auto& file : arguments) {
        files << QUrl::fromLocalFile(QDir::current().absoluteFilePath(QString::fromStdString(file)));
    }
    if (!takeOver && lumafold::SingleInstance::handToRunningWindow(files)) {
        return 0;
    }
    lumafold::Appearance::followDesktop(application);
    lumafold::PlatformDialogs dialogs;
    lumafold::AppModel model(dialogs);
    lumafold::LumafoldDelegate delegate(dialogs);
    delegate.accept(files);
    lumafold::MainWindow window(model, delegate, dialogs);
    dialogs.setParentWidget(&window);
    if (!lumafold::SingleInstance::serve(delegate, window, &application)) {
        std::fputs("lumafold: the session bus is not available; other starts will open windows of their own.\n",
                   stderr);
    }
    window.show();
    delegate.setModel(&model);
    return QApplication::exec();
}

} // namespace

// The Qt half of the program: everything that needs the session bus or, later, the window. The
// `lumafold` front end hands over to it for anything it does not do itself.
int main(int argc, char** argv)
{
    lumafold::prepareProcess();
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Both headless modes stay ahead of anything that could create a GUI application object.
    if (!args.empty() && args.front() == "combine") {
        return lumafold::runCombineCommand({args.begin() + 1, args.end()}, std::cout, std::cerr,
                                           lumafold::showDesktopNotification,
                                           lumafold::BundleInfo::runningVersion().toStdString());
    }
    if (!args.empty() && args.front() == "--dbus-service") {
        return lumafold::runAutomationService({args.begin() + 1, args.end()}, std::cerr);
    }
    for (const auto& arg : args) {
        if (arg == "--version") {
            std::printf("Lumafold %s\n", qPrintable(lumafold::BundleInfo::runningVersion()));
            return 0;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
    }
    // Files, after the options; "--" ends the options.
    std::vector<std::string> files;
    bool takeOver = false;
    for (auto arg = args.begin(); arg != args.end(); ++arg) {
        if (*arg == "--") {
            files.insert(files.end(), arg + 1, args.end());
            break;
        }
        if (*arg == lumafold::WindowLauncher::takeOverOption) {
            takeOver = true;
        } else if (arg->size() > 1 && arg->front() == '-') {
            std::fprintf(stderr, "lumafold: unknown option %s\n%s", arg->c_str(), usage);
            return 2;
        } else {
            files.push_back(*arg);
        }
    }
    return showWindow(argc, argv, files, takeOver);
}
