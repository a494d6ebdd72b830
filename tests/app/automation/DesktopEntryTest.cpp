// SPDX-License-Identifier: AGPL-3.0-or-later
#include "tests/app/automation/BusFixture.h"
#include "tests/app/automation/FakeNotifications.h"
#include "tests/support/Qpdf.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <map>

namespace lumafold::test {
namespace {

const std::filesystem::path prefix = LUMAFOLD_TEST_PREFIX;

using DesktopFile = std::map<std::string, std::map<std::string, std::string>>;

DesktopFile readDesktopFile(const std::filesystem::path& path)
{
    QFile file(qt(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    DesktopFile groups;
    std::string group;
    for (const auto& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const auto line = raw.trimmed().toStdString();
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            group = line.substr(1, line.size() - 2);
        } else if (const auto equals = line.find('='); equals != std::string::npos) {
            groups[group][line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return groups;
}

std::vector<std::string> listValue(const std::string& value)
{
    std::vector<std::string> items;
    for (const auto& item : QString::fromStdString(value).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        items.push_back(item.toStdString());
    }
    return items;
}

// What a launcher runs for an Exec line: quoted arguments unquoted, %F replaced by one argument
// per file, as freedesktop.org desktop entries define the Exec key.
QStringList expandExec(const std::string& exec, const QStringList& files)
{
    QStringList argv;
    std::string current;
    bool inQuotes = false;
    bool started = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (inQuotes && c == '\\' && i + 1 < exec.size()) {
            current += exec[++i];
        } else if (c == '"') {
            inQuotes = !inQuotes;
            started = true;
        } else if (c == ' ' && !inQuotes) {
            if (started) {
                argv << QString::fromStdString(current);
            }
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started) {
        argv << QString::fromStdString(current);
    }
    QStringList expanded;
    for (const auto& arg : argv) {
        if (arg == QStringLiteral("%F")) {
            expanded << files;
        } else {
            expanded << arg;
        }
    }
    return expanded;
}

struct ProgramRun
{
    int exitCode = -1;
    QString err;
};

class DesktopEntryTest : public BusFixture
{
protected:
    void SetUp() override
    {
        BusFixture::SetUp();
        ASSERT_TRUE(notifications.registerOn(bus()));
        // "&" and "<" in the result's path must reach a markup-reading server escaped.
        resultFolder = temporary / "a&b <c>";
        std::filesystem::create_directory(resultFolder);
    }

    // Runs a program the way a file manager does while this thread keeps answering the bus.
    ProgramRun run(const QStringList& argv, const std::filesystem::path& workingDirectory)
    {
        QProcess process;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), qt(resultFolder));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(qt(workingDirectory));
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        process.start(argv.front(), argv.mid(1));
        loop.exec();
        EXPECT_EQ(process.state(), QProcess::NotRunning);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    }

    // Awkward files, each a page of its own width.
    QStringList awkwardInputs(std::vector<double>& widths)
    {
        QStringList names;
        for (std::size_t i = 0; i < awkwardNames.size(); ++i) {
            writeWidthsPdf(inputs / awkwardNames[i], {400.0 + static_cast<double>(i)});
            names << QString::fromStdString(awkwardNames[i]);
            widths.push_back(400.0 + static_cast<double>(i));
        }
        writeWidthsPdf(inputs / "-", {399});
        names << QStringLiteral("-");
        widths.push_back(399);
        return names;
    }

    QStringList absolute(const QStringList& names)
    {
        QStringList paths;
        for (const auto& name : names) {
            paths << qt(inputs / name.toStdString());
        }
        return paths;
    }

    void expectSuccessNotice(const std::vector<double>& widths)
    {
        ASSERT_EQ(notifications.shown.size(), 1u);
        const auto& notice = notifications.shown.front();
        const auto count = QString::number(widths.size());
        EXPECT_EQ(notice.summary, QStringLiteral("Combined %1 PDFs into %1 pages.").arg(count));
        EXPECT_EQ(notice.appName, QStringLiteral("Lumafold"));
        EXPECT_EQ(notice.icon, QStringLiteral("app.marlo.Lumafold"));
        EXPECT_EQ(notice.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("app.marlo.Lumafold"));
        const auto folders = workingFolders(resultFolder);
        ASSERT_EQ(folders.size(), 1u);
        const auto path = folders.front() / "Combined.pdf";
        EXPECT_EQ(notice.body, qt(path).toHtmlEscaped());
        EXPECT_EQ(pageWidths(path), widths);
    }

    FakeNotifications notifications;
    std::filesystem::path resultFolder;
};

TEST_F(DesktopEntryTest, InstalledEntriesOfferTheActionAndRunIt)
{
    const auto application = readDesktopFile(prefix / "share/applications/app.marlo.Lumafold.desktop");
    const auto& entry = application.at("Desktop Entry");
    EXPECT_EQ(listValue(entry.at("MimeType")), std::vector<std::string>{"application/pdf"});
    const auto keywords = listValue(entry.at("Keywords"));
    EXPECT_NE(std::find(keywords.begin(), keywords.end(), "Combine PDFs"), keywords.end());
    EXPECT_NE(std::find(keywords.begin(), keywords.end(), "Merge PDFs"), keywords.end());

    const auto serviceMenu = readDesktopFile(prefix / "share/kio/servicemenus/app.marlo.Lumafold.combine.desktop");
    EXPECT_EQ(listValue(serviceMenu.at("Desktop Entry").at("MimeType")), std::vector<std::string>{"application/pdf"});

    const auto activation = readDesktopFile(prefix / "share/dbus-1/services/app.marlo.Lumafold.service");
    EXPECT_EQ(activation.at("D-BUS Service").at("Name"), "app.marlo.Lumafold");

    std::vector<double> widths;
    const auto files = absolute(awkwardInputs(widths));
    for (const auto* desktopFile : {&application, &serviceMenu}) {
        const auto actions = listValue(desktopFile->at("Desktop Entry").at("Actions"));
        ASSERT_EQ(actions.size(), 1u);
        const auto& action = desktopFile->at("Desktop Action " + actions.front());
        EXPECT_EQ(action.at("Name"), "Combine PDFs");
        SCOPED_TRACE(action.at("Exec"));

        notifications.shown.clear();
        std::filesystem::remove_all(resultFolder);
        std::filesystem::create_directory(resultFolder);
        const auto result = run(expandExec(action.at("Exec"), files), temporary.path());
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        expectSuccessNotice(widths);
    }
}

TEST_F(DesktopEntryTest, NautilusScriptCombinesTheSelectedFiles)
{
    std::vector<double> widths;
    const auto names = awkwardInputs(widths);
    const auto script = qt(prefix / "share/nautilus/scripts/Combine PDFs");
    ASSERT_TRUE(QFileInfo(script).isExecutable());

    // GNOME Files gives the names relative to the folder it runs the script in.
    const auto result = run(QStringList{script} + names, inputs.path());
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    expectSuccessNotice(widths);
}

TEST_F(DesktopEntryTest, FailuresAreNotifiedAndLeaveNothingBehind)
{
    const auto a = writeWidthsPdf(inputs / "a.pdf", {200});
    const std::string lockedName = "-locked \u201Cquoted\u201D 'it' \u00DCn\u00EF.pdf";
    qpdf::encrypt(a, inputs / lockedName, "secret", "owner");
    const auto script = qt(prefix / "share/nautilus/scripts/Combine PDFs");
    struct Case
    {
        QStringList names;
        QString summary;
    };
    const std::vector<Case> cases = {
        {{QStringLiteral("a.pdf"), QString::fromStdString(lockedName)},
         QString::fromStdString("Unlock " + lockedName + " before adding it.")},
        {{}, QStringLiteral("Choose at least one PDF.")},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.summary.toStdString());
        notifications.shown.clear();
        const auto result = run(QStringList{script} + each.names, inputs.path());
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, each.summary + QLatin1Char('\n'));
        ASSERT_EQ(notifications.shown.size(), 1u);
        EXPECT_EQ(notifications.shown.front().summary, each.summary);
        EXPECT_EQ(notifications.shown.front().icon, QStringLiteral("dialog-error"));
        EXPECT_EQ(workingFolders(resultFolder), std::vector<std::filesystem::path>{});
    }
}

} // namespace
} // namespace lumafold::test
