// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"
#include "app/update/UpdateTestSupport.h"
#include "model/BundleInfo.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnvironment.h"
#include "update/SelfUpdater.h"

#include <QSignalSpy>

#include <signal.h>
#include <sys/wait.h>

namespace lumafold::test {
namespace {

const QString promptText = "A new version of Marlo Lumafold is available";

// Models asking the loopback server, which announces 2.1.0, through an installer that records
// what it was given and fails when told to.
class UpdatesTest : public ModelTest
{
protected:
    static void SetUpTestSuite() { server = std::make_unique<LoopbackServer>(); }
    static void TearDownTestSuite() { server.reset(); }
    void SetUp() override { QSettings("Marlo", "Lumafold").clear(); }

    std::unique_ptr<AppModel> start(const QString& version, const std::optional<std::string>& disable = std::nullopt)
    {
        const ScopedEnvironmentVariable variable("DISABLE_AUTO_UPDATE", disable);
        AppModel::UpdateSetup setup{QString::fromStdString(server->https("/manifest/200")), version,
                                    [this] {
                                        ++sessions;
                                        return std::make_unique<CurlHttpClient>(server->caFile());
                                    },
                                    [this](const UpdateInfo& update, HttpClient&, std::stop_token) {
                                        installed.push_back(update);
                                        if (installFails) {
                                            throw std::runtime_error("refused");
                                        }
                                    }};
        return std::make_unique<AppModel>(dialogs, assembler.function(), setup);
    }
    // Lets a check, the prompt it leads to and an installation run their course.
    static void settle()
    {
        for (int round = 0; round < 3; ++round) {
            QThreadPool::globalInstance()->waitForDone();
            QTest::qWait(10);
        }
    }
    static QString promptedVersion()
    {
        return QSettings("Marlo", "Lumafold").value(AppModel::updatePromptedVersionKey).toString();
    }

    static inline std::unique_ptr<LoopbackServer> server;
    std::atomic<int> sessions = 0;
    std::vector<UpdateInfo> installed;
    bool installFails = false;
};

TEST_F(UpdatesTest, TheCheckAtStartOffersANewerVersionUnlessPutOffOrDisabled)
{
    const struct
    {
        std::optional<std::string> disable;
        QString version, promptedBefore;
        int sessions, prompts;
    } cases[] = {{std::nullopt, "2.0", "", 1, 1},
                 {std::nullopt, "2.0", "2.1.0", 1, 0},
                 {std::nullopt, "2.0", "2.0.9", 1, 1},
                 {std::nullopt, "2.1.0", "", 1, 0},
                 {"", "2.0", "", 0, 0},
                 {"1", "2.0", "", 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.disable.value_or("unset") + " " + c.version.toStdString() + " " +
                     c.promptedBefore.toStdString());
        dialogs.alerts.clear();
        sessions = 0;
        QSettings("Marlo", "Lumafold").setValue(AppModel::updatePromptedVersionKey, c.promptedBefore);
        auto m = start(c.version, c.disable);
        settle();
        EXPECT_EQ(sessions, c.sessions);
        EXPECT_EQ(m->availableUpdate().has_value(), c.sessions && c.version == "2.0");
        ASSERT_EQ(dialogs.alerts.size(), size_t(c.prompts));
        if (c.prompts) {
            EXPECT_EQ(dialogs.alerts[0].text, promptText);
            EXPECT_EQ(dialogs.alerts[0].informativeText,
                      "Version 2.1.0 is ready. The app will update itself and relaunch.");
            EXPECT_EQ(dialogs.alerts[0].buttons, (QStringList{"Update Now", "Later"}));
        }
    }
}

TEST_F(UpdatesTest, AnswersToThePrompt)
{
    const struct
    {
        int answer;
        bool installFails;
        QString promptedAfter;
        bool updating, quits;
        std::optional<QString> error;
    } cases[] = {{1, false, "2.1.0", false, false, std::nullopt},
                 {-1, false, "2.1.0", false, false, std::nullopt},
                 {0, false, "", true, true, std::nullopt},
                 {0, true, "", false, false, "The update could not be installed."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        QSettings("Marlo", "Lumafold").clear();
        installed.clear();
        installFails = c.installFails;
        dialogs.alertAnswers = {c.answer};
        auto m = start("2.0");
        QSignalSpy quit(m.get(), &AppModel::terminationRequested);
        settle();
        EXPECT_EQ(promptedVersion(), c.promptedAfter);
        EXPECT_EQ(installed.size(), c.answer == 0 ? 1u : 0u);
        EXPECT_EQ(m->isUpdating(), c.updating);
        EXPECT_EQ(quit.count(), c.quits ? 1 : 0);
        EXPECT_EQ(m->errorMessage(), c.error);
        EXPECT_TRUE(m->availableUpdate().has_value());
    }
    // While installing, nothing offers or checks again.
    sessions = 0;
    auto m = start("2.0", "");
    m->setAvailableUpdate(UpdateInfo{"3", "https://e.com/a.zip", ""});
    m->setIsUpdating(true);
    m->promptForUpdate();
    m->checkForUpdatesManually();
    EXPECT_FALSE(m->isCheckingForUpdate());
    settle();
    EXPECT_EQ(sessions, 0);
}

TEST_F(UpdatesTest, TheManualCheckIgnoresPuttingOffAndReportsBeingUpToDate)
{
    QSettings("Marlo", "Lumafold").setValue(AppModel::updatePromptedVersionKey, "2.1.0");
    for (const QString version : {"2.0", "2.1.0"}) {
        dialogs.alerts.clear();
        auto m = start(version, "");
        m->checkForUpdatesManually();
        m->checkForUpdatesManually(); // one at a time
        EXPECT_TRUE(m->isCheckingForUpdate());
        settle();
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        if (version == "2.0") {
            EXPECT_EQ(dialogs.alerts[0].text, promptText);
        } else {
            EXPECT_EQ(dialogs.alerts[0].text, "You're up to date");
            EXPECT_EQ(dialogs.alerts[0].informativeText, "Marlo Lumafold 2.1.0 is the latest version.");
            EXPECT_TRUE(dialogs.alerts[0].buttons.isEmpty());
        }
    }
    EXPECT_EQ(sessions, 2);
}

// From "Check for Updates…" to the new version running: a signed release from the loopback server
// takes the place of a bundle of version 2.0 once its program (a stand-in process) has exited.
TEST_F(UpdatesTest, AnAcceptedUpdateReplacesTheBundleAndStartsTheNewVersion)
{
    const ScopedEnvironmentVariable marker("LUMAFOLD_TEST_MARKER", (dir / "marker").string());
    const std::string key = newPrivateKey(dir / "key.pem");
    makeBundle(dir / "release/Lumafold.app", "2.1.0");
    BundleSignature::sign(dir / "release/Lumafold.app", key);
    zipFolder(dir / "release/Lumafold.app", server->folder() / "release.zip");
    writeFile(server->folder() / "latest.json",
              R"({"version": "2.1.0", "url": ")" + server->https("/file/200/release.zip") + "\"}");
    const InstallOptions options{dir / "Applications/Lumafold.app", BundleSignature::publicKeyOf(key),
                                 "app.marlo.Lumafold", dir / "tmp", spawn({"/bin/sleep", "60"})};
    makeBundle(*options.bundle, "2.0");

    const ScopedEnvironmentVariable noAutomaticCheck("DISABLE_AUTO_UPDATE", "");
    AppModel m(dialogs, assembler.function(),
               {QString::fromStdString(server->https("/file/200/latest.json")), "2.0",
                [] { return std::make_unique<CurlHttpClient>(server->caFile()); },
                [options](const UpdateInfo& update, HttpClient& session, std::stop_token stop) {
                    SelfUpdater::install(update, session, std::move(stop), options);
                }});
    QSignalSpy quit(&m, &AppModel::terminationRequested);
    dialogs.alertAnswers = {0};
    m.checkForUpdatesManually();
    EXPECT_TRUE(quit.wait(60'000));
    ::kill(options.pid, SIGTERM);
    ::waitpid(options.pid, nullptr, 0);
    EXPECT_EQ(startedVersion(dir / "marker"), "2.1.0\n");
    EXPECT_EQ(BundleInfo::shortVersion(QString::fromStdString((*options.bundle / "Contents/Info.plist").string())),
              "2.1.0");
}

} // namespace
} // namespace lumafold::test
