#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "app/connection_controller.h"
#include "app/document.h"
#include "app/edit_path.h"
#include "app/language.h"
#include "app/page.h"
#include "context/device_context.h"
#include "phone/store_watcher.h"
#include "protocol/default_mode.h"
#include "protocol/sync.h"
#include "protocol/write_queue.h"

class QDialog;
class QWidget;

namespace v36 {

class CBrokerRoom;

class CMainFrame;
class CKorvelv13View;
class CSynDlg;
class CInfoDlg;
class CRoomRemote;
class SingleInstance;

// How the application is started.
struct AppOptions {
    // Run on the virtual unit instead of the USB unit.
    bool simulate = false;
    // Write the link's debug traces to standard error (also V36_DEBUG_TRACE).
    bool debugTrace = false;
    VirtualUnitConfig virtualUnit;
    // Several virtual units (serials SIM0001..), each with its own state
    // and faults, instead of the one above; unused when empty.
    std::vector<VirtualUnitConfig> virtualUnits;
    // A mode file to open at start.
    QString openFile;
    // The settings file; empty for the per-user settings.
    QString settingsFile;
    // Refuse a second instance (and hand it over to the first).
    bool singleInstance = true;
    QString instanceName;  // empty: the default per-user name
    // Shorter pauses for tests; the unit's own when unset.
    std::optional<SyncTimings> syncTimings;
    int startDelayMs = 250;
    int syncTimeoutMs = 30000;
    int levelPollMs = 300;
    // Pages and tool dialogs of this build.
    UiFactories factories;
};

using MessageBoxHandler = std::function<QMessageBox::StandardButton(const MessageBoxRequest&)>;

using FileDialogHandler = std::function<QString(const FileDialogRequest&)>;

// The process object: owns the device context (with its writer thread and
// editor), the connection controller, the edit history, the document, the
// per-user settings and the interface state, and creates the main window.
class CKorvelv13App : public QObject, public CAppServices {
    Q_OBJECT

  public:
    static constexpr int kRecentFiles = ModeDocument::kRecentFiles;
    // Closing waits this long for a pull or push, and this long in all for
    // the last writes, before it lets a silent unit go.
    static constexpr int kShutdownSyncMs = 1000;
    static constexpr int kShutdownMs = 2000;
    static const char* const kTitle;

    explicit CKorvelv13App(AppOptions options);
    ~CKorvelv13App() override;

    // Start-up: settings, the main window; false when start-up must end
    // (another instance was activated, or the single-instance check failed).
    bool InitInstance();
    // Closes the link and stops the worker threads; run before the object
    // goes (the main window's close runs it).
    void shutdown();

    ConnectionController& connection() { return *connection_; }
    StoreWatcher& storeWatcher() { return *watcher_; }
    ModeDocument& document() { return *document_; }

    CMainFrame* mainFrame() const;
    CKorvelv13View* view() const;

    // --- CAppServices ---------------------------------------------------------
    DeviceContext& device() override { return ctx_; }
    int languageIndex() const override { return languageIndex_; }
    const LanguageFile& languageFile() const override { return language_; }
    void postWrite(std::function<void(Senders&)> job) override;
    EditPath& edits() override { return *edits_; }
    void ShowInfo(const QString& text, int milliseconds) override;
    void ShowPage(PageKind kind, int channel) override;
    int currentOutputChannel() const override { return currentOutputChannel_; }
    void setCurrentOutputChannel(int channel) override { currentOutputChannel_ = channel; }
    bool isConnected() const override { return ctx_.link.linkOpen.load(); }
    void startPullWithDialog() override;
    bool levelPollEnable() const override { return connection_->levelPollEnable(); }
    void setLevelPollEnable(bool on) override { connection_->setLevelPollEnable(on); }

    // --- Writer thread ----------------------------------------------------------
    WriteQueue& writer() { return ctx_.writer; }
    SyncWorker& sync() { return connection_->sync(); }

    // --- Language -----------------------------------------------------------------
    void setLanguageIndex(int index);
    // Loads the current language's file (kept in memory).
    bool loadLanguageFile();

    // --- Interface state ------------------------------------------------------------
    DefaultModeState& defaultMode() { return connection_->defaultMode(); }
    int applicationLook() const { return applicationLook_; }
    QSettings& settings() { return *settings_; }
    const AppOptions& options() const { return options_; }

    // Recent documents (newest first, at most ten).
    QStringList recentFiles() const { return document_->recentFiles(); }
    void addRecentFile(const QString& path) { document_->addRecentFile(path); }
    void removeRecentFile(const QString& path) { document_->removeRecentFile(path); }

    // --- Dialogs ------------------------------------------------------------------------
    // The sync dialog, shown while a pull or push runs (window-modal, not a
    // nested event loop); null when none.
    CSynDlg* syncDialog() const;
    void showSyncDialog();
    // Ends it; after `delayMs` when given, so that a quick sync is seen.
    void endSyncDialog(int delayMs = 0);
    CInfoDlg* infoDialog() const;
    // The tool dialog of `kind` if it exists.
    CToolDialog* toolDialog(ToolDialog kind) const;
    // Creates (first use) or re-shows a modeless tool dialog; null when this
    // build has none.
    CToolDialog* showToolDialog(ToolDialog kind);
    // Runs a modal tool dialog (the noise gate dialog).
    void runToolDialog(ToolDialog kind);
    void openModalToolDialog(CToolDialog* dialog) override;
    // Destroys the windows of the open modeless tool dialogs.
    void destroyToolDialogs();
    // The open modeless tool dialogs.
    QList<CToolDialog*> openToolDialogs() const;

    // `buttonTexts` gives some of the standard buttons texts of their own.
    QMessageBox::StandardButton messageBox(const MessageBoxRequest& request,
                                           const QHash<int, QString>& buttonTexts = {}) override;
    void setMessageBoxHandler(MessageBoxHandler handler) {
        messageBoxHandler_ = std::move(handler);
    }
    // The warning box of a failed file operation, when it has one.
    void showFileError(const FileError& error) override;
    QString fileDialog(const FileDialogRequest& request) override;
    void setFileDialogHandler(FileDialogHandler handler) {
        fileDialogHandler_ = std::move(handler);
    }

    void showAboutDialog();
    // Opens a mode file by name (command line, recent documents): false
    // when nothing was opened. With a unit the file is pushed (a default-mode
    // name also lands in its mode); without one it is opened for editing.
    bool OpenDocumentFile(const QString& path);

    // --- Offline editing -----------------------------------------------------------------
    // The mode file being edited without a unit (empty when none).
    QString documentPath() const { return document_->path(); }
    // Reads a mode file into the store for editing without a unit; false
    // (with the reason shown) when it was not read.
    bool openOfflineDocument(const QString& path);
    // Writes the store to `path` without the store-into-mode command.
    bool saveOfflineDocument(const QString& path);
    // Edits made while no unit was connected that no file or unit has.
    bool hasUnsavedOfflineEdits() const { return document_->hasUnsavedOfflineEdits(); }
    // The window title: the program's, or the document's name with a mark
    // while it has unsaved edits.
    void updateTitle();
    // Pages, open tool dialogs and the ribbon reload from the store.
    void refreshFromStore();
    // The file named on the command line, once (empty when none).
    QString takePendingOpenFile();
    // Brings the main window to the front (a second start asked for it).
    void activateMainWindow();

    bool shuttingDown() const { return shuttingDown_.load(); }

    // The room remote: phones on the local network edit the unit.
    CRoomRemote& roomRemote() { return *roomRemote_; }
#ifdef V36_WITH_MQTT
    // The unit as a room on an MQTT broker.
    CBrokerRoom& brokerRoom() {
        return *brokerRoom_;
    }
#endif

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void onSecondInstance(const QString& file);

    AppOptions options_;
    DeviceContext ctx_;

    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<SingleInstance> instance_;
    LanguageFile language_;
    int languageIndex_ = kChinese;
    // Qt's message-box buttons and file dialogs in the language.
    StandardDialogTexts standardTexts_;
    int currentOutputChannel_ = 5;
    int applicationLook_ = 215;
    QString pendingOpenFile_;
    bool f6Guard_ = true;
    bool f7Guard_ = true;

    QPointer<CMainFrame> frame_;
    QPointer<CSynDlg> syncDialog_;
    // Ends the sync dialog a moment after its sync.
    QTimer syncDialogEnd_;
    QPointer<CInfoDlg> infoDialog_;
    QHash<int, QPointer<CToolDialog>> toolDialogs_;
    MessageBoxHandler messageBoxHandler_;
    FileDialogHandler fileDialogHandler_;

    std::unique_ptr<StoreWatcher> watcher_;
    std::unique_ptr<EditPath> edits_;
    std::unique_ptr<ModeDocument> document_;
    std::unique_ptr<ConnectionController> connection_;
    std::unique_ptr<CRoomRemote> roomRemote_;
#ifdef V36_WITH_MQTT
    std::unique_ptr<CBrokerRoom> brokerRoom_;
#endif

    std::atomic<bool> shuttingDown_{false};
};

}  // namespace v36
