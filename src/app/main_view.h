#pragma once

#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "app/connection_controller.h"
#include "app/page.h"
#include "protocol/sync.h"

class QLabel;
class QSystemTrayIcon;

namespace v36 {

class CKorvelv13App;
class CMainFrame;
class RibbonPresenter;

// The single view: hosts one editor page, routes the ribbon's commands,
// shows what the connection controller reports (notices, the sync dialog,
// the boxes of a refused unit) and asks its question about offline edits.
// The ribbon and the status bar are the ribbon presenter's.
class CKorvelv13View : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMinPageWidth = 1024;
    static constexpr int kMinPageHeight = 520;

    CKorvelv13View(CKorvelv13App& app, CMainFrame& frame);
    ~CKorvelv13View() override;

    // The view's creation: store defaults, the language from the profile,
    // the music page, the texts, and the connection after the start delay.
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
    RibbonPresenter& ribbonPresenter() { return *ribbon_; }
    void updateCommandUI();
    bool levelPollRunning() const;

    // --- Notices -------------------------------------------------------------------
    void ShowTrayNotice(const QString& text, const QString& title, int milliseconds);
    QString noticeText() const { return noticeText_; }
    bool noticeVisible() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void observeConnection();
    void askAboutOfflineEdits();
    void onSyncFinished(SyncKind kind, ConnectionController::Outcome outcome);
    void hideNotice();

    CKorvelv13App& app_;
    CMainFrame& frame_;
    std::unique_ptr<RibbonPresenter> ribbon_;
    QPointer<CEditorPage> page_;
    QRect pageRect_{0, 0, kMinPageWidth, kMinPageHeight};
    bool errorBoxGuard_ = true;
    // The question about offline edits is open (a unit arriving again while
    // it is does not ask twice).
    bool askingAboutOfflineEdits_ = false;

    QTimer trayTimer_;  // 990: the notice's time
    QSystemTrayIcon* tray_ = nullptr;
    QLabel* notice_ = nullptr;
    QString noticeText_;
};

}  // namespace v36
