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
    std::vector<QStringList> shown; // {icon, summary, body}

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

class DesktopEntryTest : public BusFixture
{
protected:
    void SetUp() override
    {
        BusFixture::SetUp();
        ASSERT_TRUE(bus().registerObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications,
                                         QDBusConnection::ExportAllSlots) &&
                    bus().registerService(QStringLiteral("org.freedesktop.Notifications")));
        fs::create_directory(resultFolder);
    }

    // Runs a program the way a file manager does, in the inputs' folder, while this thread answers the bus.
    std::pair<int, QString> run(const QStringList& argv)
    {
        notifications.shown.clear();
        QProcess process;
        process.setWorkingDirectory(qt(inputs.path()));
        process.start(argv.front(), argv.mid(1));
        EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 120000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

    FakeNotifications notifications;
    // "&" and "<" in the result's path must reach a markup-reading server escaped.
    const fs::path resultFolder = temporary / "a&b <c>";
    ScopedEnvironmentVariable resultOverride{"TMPDIR", resultFolder};
    const QString script = qt(prefix / "share/nautilus/scripts/Combine PDFs");
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
    // GNOME Files gives the names relative to the folder it runs the script in.
    std::vector<QStringList> launchers{QStringList{script} + names};
    for (const auto* desktopFile : {"share/applications/app.marlo.Lumafold.desktop",
                                    "share/kio/servicemenus/app.marlo.Lumafold.combine.desktop"}) {
        const auto path = prefix / desktopFile;
        const auto action = desktopValue(path, "Desktop Entry", "Actions").section(QLatin1Char(';'), 0, 0);
        // The installed lines never hold a backslash, so splitting as QProcess does is enough.
        launchers.emplace_back();
        for (const auto& arg : QProcess::splitCommand(desktopValue(path, "Desktop Action " + action, "Exec"))) {
            launchers.back() << (arg == QStringLiteral("%F") ? paths : QStringList{arg});
        }
    }

    for (const auto& argv : launchers) {
        SCOPED_TRACE(argv.join(' ').toStdString());
        const auto [exitCode, err] = run(argv);
        EXPECT_EQ(exitCode, 0) << err.toStdString();
        const auto folders = workingFolders(resultFolder);
        ASSERT_EQ(folders.size(), 1u);
        const QStringList notice{QStringLiteral("app.marlo.Lumafold"),
                                 QStringLiteral("Combined %1 PDFs into %1 pages.").arg(widths.size()),
                                 qt(folders.front() / "Combined.pdf").toHtmlEscaped()};
        EXPECT_EQ(notifications.shown, std::vector<QStringList>{notice});
        EXPECT_EQ(pageWidths(folders.front() / "Combined.pdf"), widths);
        fs::remove_all(folders.front());
    }
}

TEST_F(DesktopEntryTest, AFailureIsNotifiedAndLeavesNothingBehind)
{
    qpdf::encrypt(writeWidthsPdf(inputs / "a.pdf", {200}), inputs / "locked.pdf", "secret", "owner");
    const auto [exitCode, err] = run({script, "a.pdf", "locked.pdf"});
    EXPECT_EQ(exitCode, 1) << err.toStdString();
    const QStringList notice{"dialog-error", "Unlock locked.pdf before adding it.", ""};
    EXPECT_EQ(notifications.shown, std::vector<QStringList>{notice});
    EXPECT_EQ(workingFolders(resultFolder), std::vector<fs::path>{});
}

} // namespace
} // namespace lumafold::test

#include "DesktopEntryTest.moc"
