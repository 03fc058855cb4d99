#include "app/main_frame.h"
#include "app/file_path.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QShortcut>
#include <filesystem>

#include "app/app.h"
#include "app/icons.h"
#include "app/main_view.h"
#include "app/ribbon.h"
#include "app/ribbon_texts.h"
#include "app/status_bar.h"
#include "app/undo_keys.h"
#include "protocol/mode_file.h"
#include "protocol/report.h"

namespace v36 {

namespace {
// Where the window's place and state are kept in the settings.
const char kGeometryKey[] = "MainFrame/Geometry";
const char kStateKey[] = "MainFrame/State";
}  // namespace

CMainFrame::CMainFrame(CKorvelv13App& app) : QMainWindow(nullptr), app_(app) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowIcon(applicationIcon());
    setMinimumSize(kMinWidth, kMinHeight);
    // The look of this window; written at every start.
    app.settings().setValue(QStringLiteral("ApplicationLook"), app.applicationLook());

    ribbon_ = new CMyMFCRibbonBar(app.languageIndex(), this);
    setMenuWidget(ribbon_);
    status_ = new CMFCMyRibbonStatusBar(this);
    setStatusBar(status_);
    view_ = new CKorvelv13View(app, *this);
    setCentralWidget(view_);

    connect(ribbon_, &CMyMFCRibbonBar::command, this, &CMainFrame::OnCommand);
    connect(status_, &CMFCMyRibbonStatusBar::command, this, &CMainFrame::OnCommand);
    connect(ribbon_, &CMyMFCRibbonBar::categoryChanged, this, &CMainFrame::OnCategoryChanged);
    connect(ribbon_, &CMyMFCRibbonBar::updateQuery, view_, &CKorvelv13View::updateCommandUI);
    connect(ribbon_, &CMyMFCRibbonBar::recentFileChosen, this,
            [this](const QString& path) { app_.OpenDocumentFile(path); });
    ribbon_->setRecentFiles(app.recentFiles());

    auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(open, &QShortcut::activated, this, [this] { OnCommand(id::kOpen); });
    auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(save, &QShortcut::activated, this, [this] { OnCommand(id::kSave); });
    // Undo and redo: the platform's keys, Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z,
    // each once; they win in a text or spin box that holds no typing of its
    // own.
    auto bind = [this](const QList<QKeySequence>& keys, int cmd) {
        for (const QKeySequence& k : keys) {
            auto* shortcut = new QShortcut(k, this);
            connect(shortcut, &QShortcut::activated, this, [this, cmd] { OnCommand(cmd); });
        }
    };
    bind(undoKeys(), id::kUndo);
    bind(redoKeys(), id::kRedo);
    qApp->installEventFilter(new CUndoKeys(this));

    // The window opens where, as large and as maximised as it was left.
    restoreGeometry(app.settings().value(QLatin1String(kGeometryKey)).toByteArray());
    restoreState(app.settings().value(QLatin1String(kStateKey)).toByteArray());
}

void CMainFrame::OnCommand(int cmd) {
    if (cmd >= id::kHdmi1 && cmd <= id::kHdmi1 + 3) {
        selectHdmi(cmd - id::kHdmi1);
    } else if (cmd >= id::kMusicSource1 && cmd <= id::kMusicSource1 + 4) {
        selectMusicSource(cmd - id::kMusicSource1);
    } else if (cmd == id::kExit) {
        close();
    } else if (cmd == id::kAbout) {
        app_.showAboutDialog();
    } else {
        view_->OnCommand(cmd);
    }
    view_->updateCommandUI();
}

void CMainFrame::OnCategoryChanged(int category) {
    (void)category;
    view_->OnCategoryChanged();
}

void CMainFrame::selectHdmi(int k) {
    app_.device().store.hdmiInput.store(static_cast<std::uint8_t>(k));
    app_.postWrite([k](Senders& s) { s.sendCommand({cmd::kSetHdmi, k, -1}); });
}

void CMainFrame::selectMusicSource(int k) {
    const int source = k >= 0 && k <= 4 ? k : 0;
    app_.device().store.musicSource.store(source);
    app_.postWrite([source](Senders& s) { s.sendCommand({cmd::kSetMusicSource, source, -1}); });
}

bool CMainFrame::confirmClose() {
    DeviceContext& ctx = app_.device();
    const int lang = app_.languageIndex();
    // Edits made without a unit live only in the store.
    if (!app_.isConnected() && app_.hasUnsavedOfflineEdits()) {
        const auto answer = app_.messageBox(
            {QMessageBox::Question, pick(lang, "保存?", "Save?"),
             pick(lang, "离线修改尚未保存，是否保存到文件?",
                  "The edits made without a unit are not saved. Save them to a file?"),
             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
        if (answer == QMessageBox::Cancel) return false;
        if (answer == QMessageBox::Yes) {
            const QString document = app_.documentPath();
            const QString path =
                document.isEmpty() ? app_.fileDialog({true, QStringLiteral("preset")}) : document;
            if (path.isEmpty() || !app_.saveOfflineDocument(path)) return false;
        }
        return true;
    }
    if (ctx.dispatcher.paramsChanged.load() != 0) {
        const QString text =
            lang == kEnglish ? QStringLiteral("parameter value is changed, do you want save it ?")
                             : QString::fromUtf8(
                                   "参数已改动，请问是否需要保存?\r\n"
                                   "提示：保存成电脑文件并同时保存至机器的当前模式");
        const auto answer =
            app_.messageBox({QMessageBox::Question, pick(lang, "保存?", "Save?"), text,
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel});
        if (answer == QMessageBox::Cancel) return false;
        if (answer == QMessageBox::Yes) {
            const QString path = app_.fileDialog({true, QStringLiteral("preset")});
            if (!path.isEmpty()) {
                ctx.dispatcher.paramsChanged.store(0);
                const int mode = ctx.store.currentMode.load();
                app_.postWrite([mode](Senders& s) { s.sendCommand({cmd::kStoreMode, mode, -1}); });
                const FileResult result = saveModeFile(ctx.store, v36::filePath(path));
                if (!result) app_.showFileError(result.error);
            }
        }
    }
    return true;
}

void CMainFrame::closeWithoutPrompt() {
    skipPrompt_ = true;
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    if (!skipPrompt_ && !confirmClose()) {
        event->ignore();
        return;
    }
    closing_ = true;
    app_.settings().setValue(QLatin1String(kGeometryKey), saveGeometry());
    app_.settings().setValue(QLatin1String(kStateKey), saveState());
    hide();
    // The goodbye to the unit goes after everything the GUI posted.
    DeviceContext& ctx = app_.device();
    if (app_.isConnected()) {
        ctx.store.liveStatus.fill(0);
        app_.postWrite([&ctx](Senders& s) {
            s.sendCommand({cmd::kDisconnect, -1});
            ctx.closeLink();
        });
    }
    app_.shutdown();
    event->accept();
}

}  // namespace v36
