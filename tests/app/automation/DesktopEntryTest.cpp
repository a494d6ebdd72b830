// SPDX-License-Identifier: AGPL-3.0-or-later
#include "BusFixture.h"
#include "support/Qpdf.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace fs = std::filesystem;

namespace lumafold::test {

// A notification server on the test's private bus that records what it is asked to show.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification
    {
        QString icon;
        QString summary;
        QString body;
    };

    bool registerOn(QDBusConnection bus)
    {
        return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    std::vector<Notification> shown;

public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body"), QStringLiteral("body-markup")}; }

    uint Notify(const QString&, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int)
    {
        shown.push_back({icon, summary, body});
        return static_cast<uint>(shown.size());
    }
};

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
        fs::create_directory(resultFolder);
    }

    // Runs a program the way a file manager does, in `folder`, while this thread answers the bus.
    std::pair<int, QString> run(const QStringList& argv, const fs::path& folder)
    {
        notifications.shown.clear();
        QProcess process;
        process.setWorkingDirectory(qt(folder));
        process.start(argv.front(), argv.mid(1));
        EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

    FakeNotifications notifications;
    // "&" and "<" in the result's path must reach a markup-reading server escaped.
    const fs::path resultFolder = temporary / "a&b <c>";
    ScopedEnvironmentVariable resultOverride{"TMPDIR", resultFolder};
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
        const auto action = desktopValue(path, "Desktop Entry", "Actions").section(QLatin1Char(';'), 0, 0);
        const auto exec = desktopValue(path, "Desktop Action " + action, "Exec");
        launchers.emplace_back(exec, expandExec(exec, paths));
    }
    // GNOME Files gives the names relative to the folder it runs the script in.
    const auto script = qt(prefix / "share/nautilus/scripts/Combine PDFs");
    launchers.emplace_back(script, QStringList{script} + names);

    for (const auto& [name, argv] : launchers) {
        SCOPED_TRACE(name.toStdString());
        const auto [exitCode, err] = run(argv, inputs.path());
        EXPECT_EQ(exitCode, 0) << err.toStdString();
        ASSERT_EQ(notifications.shown.size(), 1u);
        const auto& notice = notifications.shown.front();
        EXPECT_EQ(notice.summary, QStringLiteral("Combined %1 PDFs into %1 pages.").arg(widths.size()));
        const auto folders = workingFolders(resultFolder);
        ASSERT_EQ(folders.size(), 1u);
        EXPECT_EQ(notice.body, qt(folders.front() / "Combined.pdf").toHtmlEscaped());
        EXPECT_EQ(pageWidths(folders.front() / "Combined.pdf"), widths);
        fs::remove_all(folders.front());
    }
}

TEST_F(DesktopEntryTest, AFailureIsNotifiedAndLeavesNothingBehind)
{
    qpdf::encrypt(writeWidthsPdf(inputs / "a.pdf", {200}), inputs / "locked.pdf", "secret", "owner");
    const auto [exitCode, err] =
        run({qt(prefix / "share/nautilus/scripts/Combine PDFs"), "a.pdf", "locked.pdf"}, inputs.path());
    EXPECT_EQ(exitCode, 1) << err.toStdString();
    ASSERT_EQ(notifications.shown.size(), 1u);
    EXPECT_EQ(notifications.shown.front().summary, "Unlock locked.pdf before adding it.");
    EXPECT_EQ(notifications.shown.front().icon, QStringLiteral("dialog-error"));
    EXPECT_EQ(workingFolders(resultFolder), std::vector<fs::path>{});
}

} // namespace
} // namespace lumafold::test

#include "DesktopEntryTest.moc"
