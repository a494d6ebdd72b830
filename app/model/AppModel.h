// SPDX-License-Identifier: AGPL-3.0-or-later
#pragma once

#include "lumafold/PageModel.h"
#include "lumafold/update/HttpClient.h"
#include "lumafold/update/UpdateInfo.h"
#include "model/Dialogs.h"
#include "model/PageItem.h"
#include "model/PagesExportMode.h"
#include "model/ThumbnailStore.h"

#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace lumafold {

// The one workspace: page cards, selection, export settings, preview, update state and undo
// history, with every operation on them. Main thread only. Slow work runs in the thread pool on
// copies; its outcome is applied here only while the model exists. Property setters store and
// notify only when the value differs and have no other effect.
class AppModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QUrl feedbackURL READ feedbackURL CONSTANT)
    Q_PROPERTY(QUrl websiteURL READ websiteURL CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(lumafold::PageList pages READ pages WRITE setPages NOTIFY pagesChanged)
    Q_PROPERTY(QSet<QUuid> selection READ selection WRITE setSelection NOTIFY selectionChanged)
    Q_PROPERTY(lumafold::PagesExportMode exportMode READ exportMode WRITE setExportMode NOTIFY exportModeChanged)
    Q_PROPERTY(qint64 splitChunkSize READ splitChunkSize WRITE setSplitChunkSize NOTIFY splitChunkSizeChanged)
    Q_PROPERTY(QString outputName READ outputName WRITE setOutputName NOTIFY outputNameChanged)
    Q_PROPERTY(bool removeMetadata READ removeMetadata WRITE setRemoveMetadata NOTIFY removeMetadataChanged)
    Q_PROPERTY(lumafold::PageSize blankPageSize READ blankPageSize WRITE setBlankPageSize NOTIFY blankPageSizeChanged)
    Q_PROPERTY(std::optional<QUrl> outputFolder READ outputFolder WRITE setOutputFolder NOTIFY outputFolderChanged)
    Q_PROPERTY(bool isLoading READ isLoading WRITE setIsLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool isExporting READ isExporting WRITE setIsExporting NOTIFY isExportingChanged)
    Q_PROPERTY(bool isDropTargeted READ isDropTargeted WRITE setIsDropTargeted NOTIFY isDropTargetedChanged)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(std::optional<QString> errorMessage READ errorMessage WRITE setErrorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(std::optional<lumafold::PagesResult> previewResult READ previewResult WRITE setPreviewResult NOTIFY
                   previewResultChanged)
    Q_PROPERTY(std::optional<QString> previewError READ previewError WRITE setPreviewError NOTIFY previewErrorChanged)
    Q_PROPERTY(
        bool isRenderingPreview READ isRenderingPreview WRITE setIsRenderingPreview NOTIFY isRenderingPreviewChanged)
    Q_PROPERTY(QList<QUrl> lastOutputURLs READ lastOutputURLs WRITE setLastOutputURLs NOTIFY lastOutputURLsChanged)
    Q_PROPERTY(std::optional<lumafold::UpdateInfo> availableUpdate READ availableUpdate WRITE setAvailableUpdate NOTIFY
                   availableUpdateChanged)
    Q_PROPERTY(bool isUpdating READ isUpdating WRITE setIsUpdating NOTIFY isUpdatingChanged)
    Q_PROPERTY(bool isCheckingForUpdate READ isCheckingForUpdate WRITE setIsCheckingForUpdate NOTIFY
                   isCheckingForUpdateChanged)
    Q_PROPERTY(QList<lumafold::PageList> undoStack READ undoStack NOTIFY undoStackChanged)
    Q_PROPERTY(QList<lumafold::PageList> redoStack READ redoStack NOTIFY redoStackChanged)

public:
    // What the preview and the single-file export call to put pages together; the engine's
    // assemble unless a test replaces it.
    using Assembler = std::function<PagesResult(const std::vector<PageDescriptor>&, bool, std::stop_token)>;
    // Downloads, checks and hands over an update; throws when it cannot. Runs off the main thread.
    using Installer = std::function<void(const UpdateInfo&, HttpClient&, std::stop_token)>;

    // Which program this is, where it asks for updates and how it installs one; tests point it at
    // a loopback server and a fake installer.
    struct UpdateSetup
    {
        QString manifestURL;
        QString runningVersion;
        // One client per background job: a client serves one thread at a time.
        std::function<std::unique_ptr<HttpClient>()> session;
        Installer install;

        // The maker's manifest, the running bundle's version, the system's certificates.
        static UpdateSetup standard();
    };

    static inline const QString defaultOutputName = QStringLiteral("Combined-pages");
    static constexpr int undoLimit = 50;
    static constexpr int previewDelayMs = 350;
    static inline const QString updatePromptedVersionKey = QStringLiteral("marlo.lumafold.updatePromptedVersion");

    // `dialogs` must outlive the model.
    explicit AppModel(Dialogs& dialogs, QObject* parent = nullptr);
    AppModel(Dialogs& dialogs, Assembler assembler, QObject* parent = nullptr);
    // Starts the automatic update check unless DISABLE_AUTO_UPDATE is set.
    AppModel(Dialogs& dialogs, Assembler assembler, UpdateSetup updates, QObject* parent = nullptr);
    ~AppModel() override;

    QUrl feedbackURL() const;
    QUrl websiteURL() const;
    QString version() const { return m_version; }

    const PageList& pages() const { return m_pages; }
    void setPages(const PageList& pages);
    const QSet<QUuid>& selection() const { return m_selection; }
    void setSelection(const QSet<QUuid>& selection);
    PagesExportMode exportMode() const { return m_exportMode; }
    void setExportMode(PagesExportMode mode);
    qint64 splitChunkSize() const { return m_splitChunkSize; }
    void setSplitChunkSize(qint64 size);
    QString outputName() const { return m_outputName; }
    void setOutputName(const QString& name);
    bool removeMetadata() const { return m_removeMetadata; }
    void setRemoveMetadata(bool remove);
    PageSize blankPageSize() const { return m_blankPageSize; }
    void setBlankPageSize(const PageSize& size);
    const std::optional<QUrl>& outputFolder() const { return m_outputFolder; }
    void setOutputFolder(const std::optional<QUrl>& folder);
    bool isLoading() const { return m_isLoading; }
    void setIsLoading(bool loading);
    bool isExporting() const { return m_isExporting; }
    void setIsExporting(bool exporting);
    bool isDropTargeted() const { return m_isDropTargeted; }
    void setIsDropTargeted(bool targeted);
    double progress() const { return m_progress; }
    void setProgress(double progress);
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const std::optional<QString>& message);
    const std::optional<PagesResult>& previewResult() const { return m_previewResult; }
    void setPreviewResult(const std::optional<PagesResult>& result);
    const std::optional<QString>& previewError() const { return m_previewError; }
    void setPreviewError(const std::optional<QString>& error);
    bool isRenderingPreview() const { return m_isRenderingPreview; }
    void setIsRenderingPreview(bool rendering);
    const QList<QUrl>& lastOutputURLs() const { return m_lastOutputURLs; }
    void setLastOutputURLs(const QList<QUrl>& urls);
    const std::optional<UpdateInfo>& availableUpdate() const { return m_availableUpdate; }
    void setAvailableUpdate(const std::optional<UpdateInfo>& update);
    bool isUpdating() const { return m_isUpdating; }
    void setIsUpdating(bool updating);
    bool isCheckingForUpdate() const { return m_isCheckingForUpdate; }
    void setIsCheckingForUpdate(bool checking);
    const QList<PageList>& undoStack() const { return m_undoStack; }
    const QList<PageList>& redoStack() const { return m_redoStack; }

    // Adding files and folders.
    void choosePDFs();
    void add(const QList<QUrl>& locations);

    // Editing. Operations that change the page list record one undo step first.
    void selectAll();
    void selectRange(const QString& text);
    void rotateSelected(bool clockwise);
    void duplicateSelected();
    void removeSelected();
    void removeAll();
    void insertBlankPage();
    void movePage(const QUuid& id, const QUuid& before);
    void undo();
    void redo();
    void revealSource(const PageItem& item);

    void refreshPreview();

    // Export.
    std::optional<QString> validationMessage() const;
    bool canExport() const;
    bool chooseOutputFolder();
    void exportPages();
    // The first of "name.pdf", "name 2.pdf", "name 3.pdf", ... at which nothing exists in `folder`.
    static QUrl uniqueDestination(const QUrl& folder, const QString& baseName);
    void revealOutput();
    void resetToDefaults();
    void cancelExport();

    // Updates. Checks and installations run in the background; a check's outcome is applied only
    // while the model exists.
    void checkForUpdate();
    void checkForUpdatesManually();
    void promptForUpdate();

signals:
    // Paired notices of structural changes of `pages`, for item-model adapters. Positions are
    // those before the change for "about to", after it for the done signal. A move names the
    // card's old position and its position after the move (beginMoveRows takes to + 1 when the
    // card moves towards the end). Every change also ends with pagesChanged().
    void pagesAboutToBeInserted(int first, int last);
    void pagesInserted(int first, int last);
    void pagesAboutToBeRemoved(int first, int last);
    void pagesRemoved(int first, int last);
    void pageAboutToBeMoved(int from, int to);
    void pageMoved(int from, int to);
    void pagesAboutToBeReset();
    void pagesReset();
    // Cards first..last changed in place (rotation and picture).
    void pagesUpdated(int first, int last);

    void pagesChanged();
    void selectionChanged();
    void exportModeChanged();
    void splitChunkSizeChanged();
    void outputNameChanged();
    void removeMetadataChanged();
    void blankPageSizeChanged();
    void outputFolderChanged();
    void isLoadingChanged();
    void isExportingChanged();
    void isDropTargetedChanged();
    void progressChanged();
    void errorMessageChanged();
    void previewResultChanged();
    void previewErrorChanged();
    void isRenderingPreviewChanged();
    void lastOutputURLsChanged();
    void availableUpdateChanged();
    void isUpdatingChanged();
    void isCheckingForUpdateChanged();
    void undoStackChanged();
    void redoStackChanged();
    // An update has been handed over: the application should quit, through its quit guard, so
    // that the new version can take its place.
    void terminationRequested();

private:
    struct PreviewRequest;
    struct ExportRequest;

    template <typename T> void assign(T& field, const T& value, void (AppModel::*changed)());

    static std::vector<std::filesystem::path> pdfFiles(const QList<QUrl>& locations);
    void applyLoaded(PageList cards, const QUrl& firstLocation);
    void recordChange();
    void restoreFrom(QList<PageList>& from, QList<PageList>& to, void (AppModel::*fromChanged)(),
                     void (AppModel::*toChanged)());
    void replacePages(const PageList& pages);
    // Brings m_pages to the order of `pages` by insertions, removals or one move, announcing each;
    // false (and nothing changed) when that takes more.
    bool arrangeLike(const PageList& pages);
    // `positions` must be ascending.
    void emitUpdatedRuns(const QList<int>& positions);
    // The pictures already known for the requests (null for the rest, which are made off the main
    // thread and then shown by showKnownPictures).
    QList<QByteArray> picturesNow(const std::vector<ThumbnailStore::Request>& requests);
    // Gives every card the kept picture of its page where it shows another.
    void showKnownPictures();
    void insertPages(int position, const PageList& cards);
    void removePagesAt(const QList<int>& ascendingPositions);
    QList<int> selectedPositions() const;
    void cancelPendingPreview();
    void startPreviewAssembly();
    void runExport(ExportRequest request);
    static const QString& updateManifest();
    void runUpdateCheck(std::function<void(const std::optional<UpdateInfo>&)> apply);
    void runInstall(const UpdateInfo& update);

    Dialogs& m_dialogs;
    Assembler m_assembler;
    UpdateSetup m_updates;
    ThumbnailStore m_thumbnails;
    QString m_version;

    PageList m_pages;
    QSet<QUuid> m_selection;
    PagesExportMode m_exportMode = PagesExportMode::combined;
    qint64 m_splitChunkSize = 1;
    QString m_outputName;
    bool m_removeMetadata = false;
    PageSize m_blankPageSize = PageSize::a4;
    std::optional<QUrl> m_outputFolder;
    bool m_isLoading = false;
    bool m_isExporting = false;
    bool m_isDropTargeted = false;
    double m_progress = 0;
    std::optional<QString> m_errorMessage;
    std::optional<PagesResult> m_previewResult;
    std::optional<QString> m_previewError;
    bool m_isRenderingPreview = false;
    QList<QUrl> m_lastOutputURLs;
    std::optional<UpdateInfo> m_availableUpdate;
    bool m_isUpdating = false;
    bool m_isCheckingForUpdate = false;
    QList<PageList> m_undoStack;
    QList<PageList> m_redoStack;

    // The pending preview: a request waits on the timer; a newer one replaces it, which cancels it.
    QTimer m_previewTimer;
    std::shared_ptr<const PreviewRequest> m_previewRequest;
    std::optional<std::stop_source> m_exportStop;
    // Asked to stop when the model goes, so that a quit during a download ends it.
    std::stop_source m_installStop;
};

} // namespace lumafold
