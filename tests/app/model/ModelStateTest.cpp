// SPDX-License-Identifier: AGPL-3.0-or-later
#include "app/model/BundleInfo.h"
#include "tests/app/model/ModelTestSupport.h"
#include "tests/support/PdfFactory.h"

#include <QDir>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>
#include <QUrlQuery>

namespace lumafold::test {
namespace {

class EnvironmentVariable
{
public:
    EnvironmentVariable(const char* name, const QByteArray& value) : m_name(name) { qputenv(name, value); }
    ~EnvironmentVariable() { qunsetenv(m_name); }

private:
    const char* m_name;
};

using ModelStateTest = ModelTest;

TEST_F(ModelStateTest, StartsEmptyWithDefaults)
{
    AppModel& m = model();
    EXPECT_TRUE(m.pages().isEmpty());
    EXPECT_TRUE(m.selection().isEmpty());
    EXPECT_EQ(m.exportMode(), PagesExportMode::combined);
    EXPECT_EQ(m.splitChunkSize(), 1);
    EXPECT_EQ(m.outputName(), "Combined-pages");
    EXPECT_FALSE(m.removeMetadata());
    EXPECT_EQ(m.blankPageSize(), (PageSize{595.28, 841.89}));
    EXPECT_FALSE(m.outputFolder().has_value());
    EXPECT_FALSE(m.isLoading() || m.isExporting() || m.isDropTargeted() || m.isRenderingPreview());
    EXPECT_EQ(m.progress(), 0);
    EXPECT_FALSE(m.errorMessage() || m.previewResult() || m.previewError() || m.availableUpdate());
    EXPECT_TRUE(m.lastOutputURLs().isEmpty() && m.undoStack().isEmpty() && m.redoStack().isEmpty());
    EXPECT_FALSE(m.isUpdating() || m.isCheckingForUpdate());
    EXPECT_EQ(m.version(), "Development");
    EXPECT_EQ(QUrlQuery(m.feedbackURL()).queryItemValue("app"), "lumafold");
    EXPECT_EQ(m.feedbackURL().scheme(), "https");
    EXPECT_EQ(m.websiteURL().scheme(), "https");
}

TEST_F(ModelStateTest, OutputFolderComesFromTheEnvironmentEvenWhenMissing)
{
    const struct
    {
        QByteArray value;
        QString folder;
    } cases[] = {
        {"/nowhere/at/all", "/nowhere/at/all"},
        {"/tmp/out/", "/tmp/out"},
        {"", QDir::currentPath()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.toStdString());
        const EnvironmentVariable variable("MARLO_UI_TEST_OUTPUT_DIR", c.value);
        const AppModel m(dialogs);
        ASSERT_TRUE(m.outputFolder().has_value());
        EXPECT_EQ(*m.outputFolder(), QUrl::fromLocalFile(c.folder));
    }
}

TEST_F(ModelStateTest, StartupInputsAreAddedInOrderOnceTheEventLoopRuns)
{
    writeWidthsPdf(dir / "a.pdf", 1, 100);
    writeWidthsPdf(dir / "b.pdf", 1, 300);
    const QByteArray a = QFile::encodeName(QString::fromStdString((dir / "a.pdf").string()));
    const QByteArray b = QFile::encodeName(QString::fromStdString((dir / "b.pdf").string()));
    for (const QByteArray& value : {a + "\n" + b, "\n" + a + "\n\n" + b + "\n"}) {
        SCOPED_TRACE(value.toStdString());
        const EnvironmentVariable variable("MARLO_UI_TEST_INPUTS", value);
        m_model.reset();
        AppModel& m = model();
        EXPECT_FALSE(m.isLoading()) << "the constructor must not start the load itself";
        ASSERT_TRUE(QTest::qWaitFor([&] { return m.pages().size() == 2; }, 60'000));
        EXPECT_EQ(cardWidths(m), (std::vector<double>{100, 300}));
    }
}

TEST_F(ModelStateTest, StartupInputsAreDroppedWithTheModel)
{
    writeWidthsPdf(dir / "a.pdf", 1);
    const EnvironmentVariable variable("MARLO_UI_TEST_INPUTS", QByteArray::fromStdString((dir / "a.pdf").string()));
    auto doomed = std::make_unique<AppModel>(dialogs);
    QSignalSpy loading(doomed.get(), &AppModel::isLoadingChanged);
    doomed.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(loading.count(), 0);
}

// Every assignable property: an equal value notifies nobody, a different one notifies once.
TEST_F(ModelStateTest, AssigningAnEqualValueNotifiesNobody)
{
    AppModel& m = model();
    PageItem card;
    card.id = QUuid::createUuid();
    const QHash<QString, QVariant> different = {
        {"pages", QVariant::fromValue(PageList{card})},
        {"selection", QVariant::fromValue(QSet<QUuid>{card.id})},
        {"exportMode", QVariant::fromValue(PagesExportMode::split)},
        {"splitChunkSize", QVariant::fromValue(qint64{4})},
        {"outputName", QVariant::fromValue(QString("Report"))},
        {"removeMetadata", true},
        {"blankPageSize", QVariant::fromValue(PageSize::letter)},
        {"outputFolder", QVariant::fromValue(std::optional<QUrl>(QUrl::fromLocalFile("/tmp")))},
        {"isLoading", true},
        {"isExporting", true},
        {"isDropTargeted", true},
        {"progress", 0.5},
        {"errorMessage", QVariant::fromValue(std::optional<QString>("Oops"))},
        {"previewResult", QVariant::fromValue(std::optional<PagesResult>(PagesResult{{1, 2}, 1, 1}))},
        {"previewError", QVariant::fromValue(std::optional<QString>("Broken"))},
        {"isRenderingPreview", true},
        {"lastOutputURLs", QVariant::fromValue(QList<QUrl>{QUrl::fromLocalFile("/tmp/a.pdf")})},
        {"availableUpdate", QVariant::fromValue(std::optional<UpdateInfo>(UpdateInfo{"2.0", "https://x/y.zip", ""}))},
        {"isUpdating", true},
        {"isCheckingForUpdate", true},
    };
    const QMetaObject* meta = m.metaObject();
    int writable = 0;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isWritable()) {
            continue;
        }
        ++writable;
        SCOPED_TRACE(property.name());
        ASSERT_TRUE(different.contains(property.name()));
        QSignalSpy notified(&m, property.notifySignal());
        ASSERT_TRUE(property.write(&m, property.read(&m)));
        EXPECT_EQ(notified.count(), 0);
        ASSERT_TRUE(property.write(&m, different[property.name()]));
        EXPECT_EQ(notified.count(), 1);
        ASSERT_TRUE(property.write(&m, different[property.name()]));
        EXPECT_EQ(notified.count(), 1);
    }
    EXPECT_EQ(writable, different.size());
    // No side effects: assigning pages recorded no undo step and asked for no preview.
    EXPECT_TRUE(m.undoStack().isEmpty());
}

TEST(BundleInfoTest, ReadsTheShortVersionOfTheTopDictionary)
{
    const std::string head = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>)";
    const struct
    {
        const char* name;
        std::string body;
        std::optional<QString> version;
    } cases[] = {
        {"text",
         "<key>CFBundleIdentifier</key><string>app.marlo.Lumafold</string>"
         "<key>CFBundleShortVersionString</key><string>2.4.1</string>",
         "2.4.1"},
        {"not text", "<key>CFBundleShortVersionString</key><integer>2</integer>", std::nullopt},
        {"missing", "<key>CFBundleVersion</key><string>7</string>", std::nullopt},
        {"nested only",
         "<key>Other</key><dict><key>CFBundleShortVersionString</key><string>9</string></dict>"
         "<key>CFBundleVersion</key><string>7</string>",
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        writeFile(folder / "Info.plist", head + c.body + "</dict></plist>");
        EXPECT_EQ(BundleInfo::shortVersion(QString::fromStdString((folder / "Info.plist").string())), c.version);
    }
    EXPECT_EQ(BundleInfo::shortVersion("/nonexistent/Info.plist"), std::nullopt);
}

} // namespace
} // namespace lumafold::test
