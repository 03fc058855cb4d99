#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>

#include "app/page.h"
#include "link/backend.h"
#include "protocol/sync.h"

class QLabel;
class QSocketNotifier;
class QSystemTrayIcon;

namespace v36 {

class CKorvelv13App;
class CMainFrame;
class CMyMFCRibbonBar;
enum class VolumeControl;

// The single view: hosts one editor page, owns the connection to the unit
// (open at start and on arrival, close on removal, the sync threads and the
// identity check), carries out the whole-set commands of the ribbon and
// keeps the ribbon and the status bar current.
class CKorvelv13View : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMinPageWidth = 1024;
    static constexpr int kMinPageHeight = 520;

    CKorvelv13View(CKorvelv13App& app, CMainFrame& frame);
    ~CKorvelv13View() override;

    // The view's creation: store defaults, the language from the profile,
    // the music page, the texts, and the connection 250 ms later.
    void OnCreate();

    // --- Pages -----------------------------------------------------------------
    void ShowPage(PageKind kind, int channel);
    CEditorPage* currentPage() const { return page_; }
    QRect pageRect() const { return pageRect_; }

    // --- Commands ----------------------------------------------------------------
    void OnCommand(int id);
    void OnCategoryChanged();
    // `ask`: asks first when the parameters changed since the last store
    // (a phone's recall has asked its user already).
    void OnRecallMode(int index, bool ask = true);
    void OnStoreMode(int index);
    void OnLoadFile();
    void OnSaveFile();
    void OnResetUnit();
    void OnEqBypass();
    void OnEqReset();
    // Loads and pushes a mode file (the load command after its dialog);
    // false when the file was not read.
    bool loadModeFile(const QString& path);
    // Stores into the current mode and writes the file (the save command
    // after its dialog); false when the file could not be written.
    bool saveModeFile(const QString& path);

    // --- Language and ribbon ------------------------------------------------------
    void ApplyLanguageAll();
    void switchLanguage();
    void relabelRibbon();
    void refreshRibbon();
    // The ribbon's four volume sliders and their captions, from the store.
    void refreshVolumes();
    void refreshPitchCaption();
    // The answers to the update queries: status panes, check marks, status
    // labels.
    void updateCommandUI();

    // --- Connection ---------------------------------------------------------------
    // Timer 1: the first connection.
    void connectAtStart();
    void OnDeviceArrival();
    void OnDeviceRemoval(const std::string& path);
    // The completion of a pull or push (run on the GUI thread while the
    // worker waits).
    void OnSyncDone(SyncKind kind);
    void OnSyncProgress(int done, int total);
    // A unit of another model or protocol: end the sync dialog, disconnect.
    void disconnectUnit();
    bool levelPollRunning() const { return pollTimer_.isActive(); }

    // --- Notices -------------------------------------------------------------------
    void ShowTrayNotice(const QString& text, const QString& title, int milliseconds);
    QString noticeText() const { return noticeText_; }
    bool noticeVisible() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CMyMFCRibbonBar& ribbon() const;
    bool outputActive() const;
    int sliderValue(int inputId, int outputId) const;
    void setBothSliders(int inputId, int outputId, int value);
    void setBothLabels(int inputId, int outputId, VolumeControl control, int value);
    void OnVolume(VolumeControl control, int value);
    void OnPitch(int value);
    void OnSliderCommand(int id);
    void OnMuteCommand(int id);
    bool handleRibbonWheel(QWheelEvent* event);
    void pollLevels();
    void hideNotice();
    void startWatching();
    // After an open: the pull with its dialog, then the level poll.
    void synchroniseNewConnection(int noticeMs);
    // What becomes of edits made without a unit when one arrives.
    enum class OfflineChoice { Save, Push, Discard };
    OfflineChoice askAboutOfflineEdits();

    CKorvelv13App& app_;
    CMainFrame& frame_;
    QPointer<CEditorPage> page_;
    QRect pageRect_{0, 0, kMinPageWidth, kMinPageHeight};
    bool errorBoxGuard_ = true;
    // The unit of this connection was refused: no level poll for it.
    bool refused_ = false;
    bool permissionShown_ = false;

    QTimer startTimer_;  // 1: the first connection
    QTimer pollTimer_;   // 3: the level poll
    QTimer trayTimer_;   // 990: the notice's time
    QTimer uiTimer_;     // the update queries
    std::shared_ptr<std::atomic<bool>> pollOutstanding_;

    QSystemTrayIcon* tray_ = nullptr;
    QLabel* notice_ = nullptr;
    QString noticeText_;

    std::unique_ptr<HotplugWatcher> watcher_;
    QSocketNotifier* watcherNotifier_ = nullptr;
};

}  // namespace v36
