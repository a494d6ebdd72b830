// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ModelTestSupport.h"
#include "app/update/UpdateTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnvironment.h"
#include "update/SelfUpdater.h"

#include <QSignalSpy>

#include <signal.h>
#include <sys/wait.h>

namespace lumafold::test {
namespace {

// Models asking the loopback server, which announces 2.1.0.
class UpdatesTest : public ModelTest
{
protected:
    static void SetUpTestSuite() { server = std::make_unique<LoopbackServer>(); }

    std::unique_ptr<AppModel> start(const char* version, std::optional<std::string> disable = "",
                                    AppModel::Installer install = {}, const char* manifest = "/manifest/200")
    {
        const ScopedEnvironmentVariable variable("DISABLE_AUTO_UPDATE", disable);
        return std::make_unique<AppModel>(
            dialogs, recordingAssembler(),
            AppModel::UpdateSetup{QString::fromStdString(server->https(manifest)), version,
                                  [] { return std::make_unique<CurlHttpClient>(server->caFile()); }, install});
    }
    // Lets a check, the prompt it leads to and an installation run their course.
    static void settle()
    {
        for (int round = 0; round < 3; ++round) {
            QThreadPool::globalInstance()->waitForDone();
            QTest::qWait(10);
        }
    }

    static inline std::unique_ptr<LoopbackServer> server;
};

// At start unless disabled, or from the menu.
TEST_F(UpdatesTest, ChecksOfferANewerVersionUnlessPutOffAndOnlyTheManualOneReportsBeingUpToDate)
{
    const char* offer = "A new version of Marlo Lumafold is available";
    // manual, DISABLE_AUTO_UPDATE, running version, put off; available, the alert shown if any
    const std::tuple<bool, std::optional<std::string>, const char*, const char*, bool, const char*> cases[] = {
        {false, std::nullopt, "2.0", "2.1.0", true, ""},
        {false, std::nullopt, "2.0", "2.0.9", true, offer},
        {false, "", "2.0", "", false, ""},
        {true, "", "2.0", "2.1.0", true, offer},
        {true, "", "2.1.0", "", false, "You're up to date"}};
    for (const auto& [manual, disable, version, putOff, available, alert] : cases) {
        SCOPED_TRACE(std::string(version) + " put off: " + putOff);
        dialogs.alerts.clear();
        QSettings("Marlo", "Lumafold").setValue(AppModel::updatePromptedVersionKey, putOff);
        const auto m = start(version, disable);
        if (manual) {
            m->checkForUpdatesManually();
            m->checkForUpdatesManually(); // one at a time
        }
        settle();
        EXPECT_EQ(m->availableUpdate().has_value(), available);
        ASSERT_LE(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts.empty() ? "" : dialogs.alerts[0].text, alert);
    }
    EXPECT_EQ(dialogs.alerts[0].informativeText, "Marlo Lumafold 2.1.0 is the latest version.");
}

TEST_F(UpdatesTest, LaterRemembersTheVersionAndUpdateNowInstallsThenQuitsOrReportsTheFailure)
{
    const std::tuple<int, bool, QVariant, std::optional<QString>> cases[] = {
        {1, false, "2.1.0", std::nullopt},
        {0, false, {}, std::nullopt},
        {0, true, {}, "The update could not be installed."}};
    for (const auto& [answer, fails, remembered, error] : cases) {
        SCOPED_TRACE(answer);
        QSettings("Marlo", "Lumafold").clear();
        dialogs.alerts.clear();
        dialogs.alertAnswer = answer;
        const auto m = start("2.0", std::nullopt, [fails = fails](const UpdateInfo&, auto&, auto) {
            if (fails) {
                throw std::runtime_error("refused");
            }
        });
        QSignalSpy quit(m.get(), &AppModel::terminationRequested);
        settle();
        ASSERT_EQ(dialogs.alerts.size(), 1u);
        EXPECT_EQ(dialogs.alerts[0].buttons, (QStringList{"Update Now", "Later"}));
        EXPECT_EQ(QSettings("Marlo", "Lumafold").value(AppModel::updatePromptedVersionKey), remembered);
        EXPECT_EQ(m->isUpdating(), answer == 0 && !fails);
        EXPECT_EQ(quit.count(), answer == 0 && !fails ? 1 : 0);
        EXPECT_EQ(m->errorMessage(), error);
        if (m->isUpdating()) { // neither the prompt nor a manual check does anything now
            m->promptForUpdate();
            m->checkForUpdatesManually();
            EXPECT_EQ(dialogs.alerts.size(), 1u);
            EXPECT_FALSE(m->isCheckingForUpdate());
        }
    }
}

// A signed release from the loopback server takes the place of a bundle of version 2.0 once its
// program (a stand-in process) has exited, and the new version starts.
TEST_F(UpdatesTest, AnAcceptedUpdateReplacesTheBundleAndStartsTheNewVersion)
{
    const ScopedEnvironmentVariable marker("LUMAFOLD_TEST_MARKER", (dir / "marker").string());
    const std::string key = newPrivateKey(dir / "key.pem");
    makeBundle(dir / "release/Lumafold.app", "2.1.0");
    BundleSignature::sign(dir / "release/Lumafold.app", key);
    zipFolder(dir / "release/Lumafold.app", server->folder() / "release.zip");
    writeFile(server->folder() / "latest.json",
              R"({"version": "2.1.0", "url": ")" + server->https("/file/200/release.zip") + "\"}");
    const InstallOptions options{dir / "Lumafold.app", BundleSignature::publicKeyOf(key), "app.marlo.Lumafold",
                                 dir / "tmp", spawn({"/bin/sleep", "60"})};
    makeBundle(dir / "Lumafold.app", "2.0");
    dialogs.alertAnswer = 0;
    const auto m = start(
        "2.0", "",
        [&](const UpdateInfo& update, HttpClient& session, auto stop) {
            SelfUpdater::install(update, session, stop, options);
        },
        "/file/200/latest.json");
    QSignalSpy quit(m.get(), &AppModel::terminationRequested);
    m->checkForUpdatesManually();
    EXPECT_TRUE(quit.wait(60'000));
    ::kill(options.pid, SIGTERM);
    ::waitpid(options.pid, nullptr, 0);
    EXPECT_EQ(startedVersion(dir / "marker"), "2.1.0\n");
}

} // namespace
} // namespace lumafold::test
