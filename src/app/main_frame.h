#pragma once

#include <QMainWindow>

namespace v36 {

class CKorvelv13App;
class CKorvelv13View;
class CMyMFCRibbonBar;
class CMFCMyRibbonStatusBar;

// The top-level window: the ribbon, the status bar and the view. It handles
// the whole unit's input commands (HDMI input, music source), the category
// change and closing; every other command goes to the view.
class CMainFrame : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kMinWidth = 1068;
    static constexpr int kMinHeight = 700;

    explicit CMainFrame(CKorvelv13App& app);

    CMyMFCRibbonBar* ribbon() const { return ribbon_; }
    CMFCMyRibbonStatusBar* statusPanes() const { return status_; }
    CKorvelv13View* view() const { return view_; }

    // A ribbon or status-bar command.
    void OnCommand(int id);
    // Closes without the save prompt (tests, second start of a broken run).
    void closeWithoutPrompt();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnCategoryChanged(int category);
    void selectHdmi(int k);
    void selectMusicSource(int k);
    // The save prompt and the disconnection; false when the user cancelled.
    bool confirmClose();

    CKorvelv13App& app_;
    CMyMFCRibbonBar* ribbon_ = nullptr;
    CMFCMyRibbonStatusBar* status_ = nullptr;
    CKorvelv13View* view_ = nullptr;
    bool skipPrompt_ = false;
    bool closing_ = false;
};

}  // namespace v36
