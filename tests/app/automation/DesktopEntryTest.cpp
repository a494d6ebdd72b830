// SPDX-License-Identifier: AGPL-3.0-or-later
#include "BusFixture.h"
#include "FakeNotifications.h"
#include "support/Qpdf.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

namespace fs = std::filesystem;

namespace lumafold::test {
namespace {

const fs::path prefix = LUMAFOLD_TEST_PREFIX;

// The value of `key` in the group `[group]` of a desktop file.
QString desktopValue(const fs::path& path, const QString& group, const QString& key)
{
    QFile file(qt(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    const QString section = QString::fromUtf8(file.readAll()).section("\n[" + group + "]\n", 1, 1).section("\n[", 0, 0);
    return QRegularExpression("^" + key + "=(.*)$", QRegularExpression::MultilineOption).match(section).captured(1);
}

QStringList listValue(const QString& value)
{
    return value.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

// What a launcher runs for an Exec line: quoted arguments unquoted, %F replaced by one argument
// per file. The installed lines never hold a backslash, so splitting as QProcess does is enough.
QStringList expandExec(const QString& exec, const QStringList& files)
{
    QStringList argv;
    for (const auto& arg : QProcess::splitCommand(exec)) {
        argv << (arg == QStringLiteral("%F") ? files : QStringList{arg});
    }
    return argv;
}

class DesktopEntryTest : public BusFixture
{
protected:
    void SetUp() override
    {
        BusFixture::SetUp();
        ASSERT_TRUE(notifications.registerOn(bus()));
        // "&" and "<" in the result's path must reach a markup-reading server escaped.
        resultFolder = temporary / "a&b <c>";
        fs::create_directory(resultFolder);
    }

    // Runs a program the way a file manager does, in `folder`, while this thread answers the bus.
    std::pair<int, QString> run(const QStringList& argv, const fs::path& folder)
    {
        notifications.shown.clear();
        QProcess process;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), qt(resultFolder));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(qt(folder));
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        process.start(argv.front(), argv.mid(1));
        loop.exec();
        EXPECT_EQ(process.state(), QProcess::NotRunning);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

    FakeNotifications notifications;
    fs::path resultFolder;
};

TEST_F(DesktopEntryTest, EveryInstalledLauncherCombinesTheFilesAndNotifiesTheResult)
{
    const auto widths = writeAwkwardPdfs(inputs.path());
    QStringList names;
    QStringList paths;
    for (const auto& name : awkwardNames) {
        names << QString::fromStdString(name);
        paths << qt(inputs / name);
    }
    std::vector<std::pair<QString, QStringList>> launchers;
    for (const auto* desktopFile : {"share/applications/app.marlo.Lumafold.desktop",
                                    "share/kio/servicemenus/app.marlo.Lumafold.combine.desktop"}) {
        const auto path = prefix / desktopFile;
        EXPECT_EQ(listValue(desktopValue(path, "Desktop Entry", "MimeType")), QStringList{"application/pdf"});
        const auto actions = listValue(desktopValue(path, "Desktop Entry", "Actions"));
        ASSERT_EQ(actions.size(), 1);
        EXPECT_EQ(desktopValue(path, "Desktop Action " + actions.front(), "Name"), "Combine PDFs");
        const auto exec = desktopValue(path, "Desktop Action " + actions.front(), "Exec");
        launchers.emplace_back(exec, expandExec(exec, paths));
    }
    // GNOME Files gives the names relative to the folder it runs the script in.
    const auto script = qt(prefix / "share/nautilus/scripts/Combine PDFs");
    launchers.emplace_back(script, QStringList{script} + names);

    for (const auto& [name, argv] : launchers) {
        SCOPED_TRACE(name.toStdString());
        fs::remove_all(resultFolder);
        fs::create_directory(resultFolder);
        const auto [exitCode, err] = run(argv, inputs.path());
        EXPECT_EQ(exitCode, 0) << err.toStdString();
        ASSERT_EQ(notifications.shown.size(), 1u);
        const auto& notice = notifications.shown.front();
        EXPECT_EQ(notice.summary, QStringLiteral("Combined %1 PDFs into %1 pages.").arg(widths.size()));
        EXPECT_EQ(notice.appName, QStringLiteral("Lumafold"));
        EXPECT_EQ(notice.icon, serviceName);
        EXPECT_EQ(notice.hints.value(QStringLiteral("desktop-entry")).toString(), serviceName);
        const auto folders = workingFolders(resultFolder);
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_EQ(notice.body, qt(folders.front() / "Combined.pdf").toHtmlEscaped());
        EXPECT_EQ(pageWidths(folders.front() / "Combined.pdf"), widths);
    }
}

TEST_F(DesktopEntryTest, AFailureIsNotifiedAndLeavesNothingBehind)
{
    qpdf::encrypt(writeWidthsPdf(inputs / "a.pdf", {200}), inputs / "locked.pdf", "secret", "owner");
    const auto [exitCode, err] =
        run({qt(prefix / "share/nautilus/scripts/Combine PDFs"), "a.pdf", "locked.pdf"}, inputs.path());
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err, "Unlock locked.pdf before adding it.\n");
    ASSERT_EQ(notifications.shown.size(), 1u);
    EXPECT_EQ(notifications.shown.front().summary, "Unlock locked.pdf before adding it.");
    EXPECT_EQ(notifications.shown.front().icon, QStringLiteral("dialog-error"));
    EXPECT_EQ(workingFolders(resultFolder), std::vector<fs::path>{});
}

} // namespace
} // namespace lumafold::test
