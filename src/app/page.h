#pragma once

#include <QDialog>
#include <QHash>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <functional>
#include <utility>

#include "app/language.h"

namespace v36 {

class DeviceContext;
class EditPath;
class Senders;
class CToolDialog;
struct FileError;

// The editor pages the main view hosts, one at a time.
enum class PageKind { Music, Output, Effects, SoundField, Delay, Compressor };

// The dialog template of a page kind (313, 385, 421, 334, 333, 346).
int pageTemplate(PageKind kind);

// The modeless and modal tool dialogs the shell opens.
enum class ToolDialog {
    MachineSettings,
    NoiseGate,
    RemoteLearning,
    RemoteKeyLearning,
    AutoSub,
    MusicAgc
};
int toolDialogTemplate(ToolDialog kind);

// A file dialog request: open or save, the default name, the filter and
// the default extension (empty: mode files). The answer is the chosen path
// or an empty string for a cancel. The dialog opens in the folder last used
// for files of its extension.
struct FileDialogRequest {
    FileDialogRequest(bool saving = false, QString name = {}, QString fileFilter = {},
                      QString suffix = {})
        : save(saving),
          defaultName(std::move(name)),
          filter(std::move(fileFilter)),
          defaultSuffix(std::move(suffix)) {}
    bool save;
    QString defaultName;
    QString filter;
    QString defaultSuffix;
    // The caller gives the file the default extension whatever is typed and
    // asks itself before it replaces that file: the dialog does not ask
    // about the name typed.
    bool forcedSuffix = false;
    // The window the dialog belongs to (the main window when null): when
    // that window goes while the dialog is open, the dialog closes with it
    // and the answer is a cancel.
    QWidget* owner = nullptr;
};

// One message box the application shows: its kind, caption, text and
// buttons. The default shows a QMessageBox; tests put their own handler.
struct MessageBoxRequest {
    MessageBoxRequest(QMessageBox::Icon kind = QMessageBox::Information, QString title = {},
                      QString body = {}, QMessageBox::StandardButtons choices = QMessageBox::Ok,
                      QString more = {})
        : icon(kind),
          caption(std::move(title)),
          text(std::move(body)),
          buttons(choices),
          details(std::move(more)) {}
    QMessageBox::Icon icon;
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    // Shown on request under the text, scrollable (every line of a file).
    QString details;
    // The window the box belongs to (the main window when null): when that
    // window goes while the box is open, the box closes with it and the
    // answer is QMessageBox::NoButton.
    QWidget* owner = nullptr;
};

// What the shell offers the pages and tool dialogs.
class CAppServices {
  public:
    virtual ~CAppServices() = default;

    virtual DeviceContext& device() = 0;
    virtual int languageIndex() const = 0;
    virtual const LanguageFile& languageFile() const = 0;
    // Relabels a dialog or page from the current language file.
    void ApplyDialogTexts(QWidget* window, int templateId) {
        v36::ApplyDialogTexts(window, templateId, languageFile());
    }
    // Runs `job` on the writer thread, after every write posted before it.
    // The GUI writes the store first, then posts the send. A user's edit of
    // the unit's parameters goes through `edits()` instead.
    virtual void postWrite(std::function<void(Senders&)> job) = 0;
    // The one edit path: store, send on the writer thread, undo step.
    virtual EditPath& edits() = 0;
    // The self-closing notice.
    virtual void ShowInfo(const QString& text, int milliseconds) = 0;
    // Replaces the current page (see CKorvelv13View::ShowPage).
    virtual void ShowPage(PageKind kind, int channel) = 0;
    virtual int currentOutputChannel() const = 0;
    virtual void setCurrentOutputChannel(int channel) = 0;
    virtual bool isConnected() const = 0;
    // Starts a pull and runs the sync dialog until it completes.
    virtual void startPullWithDialog() = 0;
    virtual bool levelPollEnable() const = 0;
    virtual void setLevelPollEnable(bool on) = 0;
    // The application's file dialogs and the warning box of a failed file
    // operation.
    virtual QString fileDialog(const FileDialogRequest& request) = 0;
    virtual void showFileError(const FileError& error) = 0;
    // A message box; `buttonTexts` gives some of the standard buttons texts
    // of their own. The answer is the button pressed.
    virtual QMessageBox::StandardButton messageBox(const MessageBoxRequest& request,
                                                   const QHash<int, QString>& buttonTexts = {}) = 0;
    // Shows a modal tool dialog that a page or dialog made on the heap,
    // without a loop of its own: the caller's code returns at once, and the
    // dialog is deleted when it closes or when the window it belongs to
    // goes. While it is open the application knows it as its kind's dialog
    // (a learned remote key reaches it).
    virtual void openModalToolDialog(CToolDialog* dialog) = 0;

    // The input EQ the music page works on: 1 (CH A mic), 8 (CH B mic) or 0
    // (music). It outlives the page; 1 at start.
    int inputEqSelection() const { return inputEqSelection_; }
    void setInputEqSelection(int eq) { inputEqSelection_ = eq; }

  private:
    int inputEqSelection_ = 1;
};

// The base of every editor page. The shell calls these operations; the
// pages of later work override them.
class CEditorPage : public QWidget {
    Q_OBJECT

  public:
    CEditorPage(PageKind kind, CAppServices& app, QWidget* parent);

    PageKind kind() const { return kind_; }
    int templateId() const { return pageTemplate(kind_); }

    virtual void RefreshFromStore() {}
    // Relabels the page in the current language.
    virtual void ApplyLanguage() { app_.ApplyDialogTexts(this, templateId()); }
    // The music page asked for while it is current.
    virtual void OnPageShown() {
        RefreshFromStore();
        ApplyLanguage();
    }
    // The output page's channel, the effects page's EQ number.
    virtual int channel() const { return 0; }
    // Switches a live output or effects page (reload and relabel included).
    virtual void setChannel(int channel) { (void)channel; }

    // The EQ operations of the music, output and effects pages.
    bool hasEq() const {
        return kind_ == PageKind::Music || kind_ == PageKind::Output || kind_ == PageKind::Effects;
    }
    virtual void ToggleEqBypass() {}
    virtual bool IsEqBypassed() { return false; }
    virtual void ResetEq() {}

  protected:
    CAppServices& app_;

  private:
    PageKind kind_;
};

// Stands in for a page kind that this build does not have.
class CEmptyPage : public CEditorPage {
    Q_OBJECT

  public:
    CEmptyPage(PageKind kind, int channel, CAppServices& app, QWidget* parent);
    int channel() const override { return channel_; }
    void setChannel(int channel) override { channel_ = channel; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int channel_;
};

// The base of the tool dialogs (machine settings, noise gate, remote
// learning, automatic subwoofer, music AGC).
class CToolDialog : public QDialog {
    Q_OBJECT

  public:
    CToolDialog(ToolDialog kind, CAppServices& app, QWidget* parent);
    ToolDialog kind() const { return kind_; }
    int templateId() const { return toolDialogTemplate(kind_); }

    virtual void RefreshFromStore() {}
    virtual void ApplyLanguage() { app_.ApplyDialogTexts(this, templateId()); }
    // A remote key was learned (the remote-key learning dialog).
    virtual void OnRemoteEvent(int code) { (void)code; }

  protected:
    CAppServices& app_;

  private:
    ToolDialog kind_;
};

// How the shell makes pages and tool dialogs; null results mean "not in
// this build" (an empty page, no dialog).
struct UiFactories {
    std::function<CEditorPage*(PageKind, int channel, CAppServices&, QWidget* parent)> page;
    std::function<CToolDialog*(ToolDialog, CAppServices&, QWidget* parent)> toolDialog;
};

// The page background of every page and dialog.
inline constexpr unsigned kPageBackground = 0xF0FAFF;  // RGB(240, 250, 255)

}  // namespace v36
