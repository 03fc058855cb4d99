#include "app/main_view.h"
#include "app/file_path.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QSystemTrayIcon>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "app/app.h"
#ifdef V36_WITH_MQTT
#include "app/broker_room.h"
#endif
#include "app/icons.h"
#include "app/language.h"
#include "app/main_frame.h"
#include "app/messages.h"
#include "app/ribbon.h"
#include "app/ribbon_presenter.h"
#include "app/ribbon_texts.h"
#include "app/room_remote.h"
#include "app/status_bar.h"
#include "app/sync_dialog.h"
#include "protocol/default_mode.h"
#include "protocol/mode_file.h"
#include "protocol/report.h"
#include "protocol/words.h"

namespace v36 {

namespace {

const char* const kModeDigitsZh[] = {"一", "二", "三", "四"};
// The serial number of the unit last read whole.
const char kLastUnitKey[] = "lastUnitSerial";

int clampMode(int i) {
    return std::clamp(i, 0, 3);
}

}  // namespace

CKorvelv13View::CKorvelv13View(CKorvelv13App& app, CMainFrame& frame)
    : QWidget(&frame), app_(app), frame_(frame) {
    setContextMenuPolicy(Qt::PreventContextMenu);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kPageBackground));
    setPalette(palette);
    setAutoFillBackground(true);

    ribbon_ = std::make_unique<RibbonPresenter>(app_, frame_, app_.storeWatcher(),
                                                [this] { return currentPage(); });
    trayTimer_.setSingleShot(true);
    connect(&trayTimer_, &QTimer::timeout, this, &CKorvelv13View::hideNotice);

    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("notice"));
    notice_->setStyleSheet(
        QStringLiteral("#notice { background: #ffffe1; color: #000000; border: 1px solid #767676;"
                       " border-radius: 4px; padding: 8px 12px; }"));
    notice_->setTextFormat(Qt::PlainText);
    notice_->installEventFilter(this);
    notice_->hide();
}

CKorvelv13View::~CKorvelv13View() {
    if (tray_) tray_->hide();
}

// --- Creation ------------------------------------------------------------------

void CKorvelv13View::OnCreate() {
    DeviceContext& ctx = app_.device();
    ctx.store.resetToDefaults();
    app_.setLanguageIndex(
        app_.settings().value(QStringLiteral("language"), 0).toInt() == 1 ? kEnglish : kChinese);
    ShowPage(PageKind::Music, 0);
    // The ribbon was built in this language already; its texts stay as
    // built until the first refresh or switch.
    app_.loadLanguageFile();
    for (CToolDialog* dialog : app_.openToolDialogs())
        dialog->ApplyLanguage();
    if (page_) page_->ApplyLanguage();

    qApp->installEventFilter(this);
    updateCommandUI();
    observeConnection();
    // The unit last used is opened first when several are attached.
    app_.connection().setPreferredSerial(
        app_.settings().value(QLatin1String(kLastUnitKey)).toString().toStdString());
    app_.connection().start();
}

// --- Pages -----------------------------------------------------------------------

void CKorvelv13View::ShowPage(PageKind kind, int channel) {
    if (page_ && page_->kind() == kind) {
        switch (kind) {
            case PageKind::Music:
                page_->OnPageShown();
                break;
            case PageKind::Output:
                app_.setCurrentOutputChannel(channel);
                page_->setChannel(channel);
                break;
            case PageKind::Effects:
                page_->setChannel(channel);
                break;
            default:
                break;
        }
        return;
    }
    if (page_) {
        // The page may be the one asking (its own button): it goes once
        // its handler has returned.
        page_->hide();
        page_->deleteLater();
        page_ = nullptr;
    }
    if (kind == PageKind::Output) app_.setCurrentOutputChannel(channel);
    CEditorPage* page = nullptr;
    if (app_.options().factories.page)
        page = app_.options().factories.page(kind, channel, app_, this);
    if (!page) page = new CEmptyPage(kind, channel, app_, this);
    page_ = page;
    page->setGeometry(pageRect_);
    page->show();
    notice_->raise();
}

void CKorvelv13View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    pageRect_ = QRect(0, 0, std::max(event->size().width(), kMinPageWidth),
                      std::max(event->size().height(), kMinPageHeight));
    if (page_) page_->setGeometry(pageRect_);
    if (notice_->isVisible()) {
        notice_->adjustSize();
        notice_->move(width() - notice_->width() - 12, height() - notice_->height() - 12);
    }
}

// --- Commands ------------------------------------------------------------------------

void CKorvelv13View::OnCommand(int cmd) {
    if (cmd >= id::kRecallMode1 && cmd < id::kRecallMode1 + 4) {
        OnRecallMode(cmd - id::kRecallMode1);
        return;
    }
    if (cmd >= id::kStoreMode1 && cmd < id::kStoreMode1 + 4) {
        OnStoreMode(cmd - id::kStoreMode1);
        return;
    }
    if (ribbon_->handleCommand(cmd)) return;
    for (const RibbonIds& ids : kRibbonIds) {
        if (cmd == ids.loadFile) {
            OnLoadFile();
            return;
        }
        if (cmd == ids.saveFile) {
            OnSaveFile();
            return;
        }
    }
    switch (cmd) {
        case id::kOpen:
            OnLoadFile();
            break;
        case id::kSave:
            OnSaveFile();
            break;
        case id::kEqBypass:
            OnEqBypass();
            break;
        case id::kEqReset:
            OnEqReset();
            break;
        case id::kResetUnit:
            OnResetUnit();
            break;
        case id::kRemoteLearning:
            if (app_.isConnected()) app_.showToolDialog(ToolDialog::RemoteLearning);
            break;
        case id::kAutoSub:
            app_.showToolDialog(ToolDialog::AutoSub);
            break;
        case id::kMusicAgc:
            if (app_.device().store.protocolVersion.load() > 8)
                app_.showToolDialog(ToolDialog::MusicAgc);
            break;
        case id::kLanguage:
            switchLanguage();
            break;
        case id::kRoomRemote:
            app_.roomRemote().start();
            break;
#ifdef V36_WITH_MQTT
        case id::kBrokerRoom:
            app_.brokerRoom().showDialog();
            break;
#endif
        case id::kNoiseGate:
            if (app_.isConnected()) app_.runToolDialog(ToolDialog::NoiseGate);
            break;
        case id::kMachineSettings:
            if (app_.isConnected()) app_.showToolDialog(ToolDialog::MachineSettings);
            break;
        case id::kUndo:
            app_.edits().undo();
            break;
        case id::kRedo:
            app_.edits().redo();
            break;
        default:
            break;
    }
    updateCommandUI();
}

void CKorvelv13View::OnCategoryChanged() {
    const QString name = frame_.ribbon()->activeCategoryName();
    if (isInputCategoryName(name)) {
        ShowPage(PageKind::Music, 0);
    } else if (isOutputCategoryName(name)) {
        ShowPage(PageKind::Output, app_.currentOutputChannel());
    }
    ribbon_->refreshPitchCaption();
}

void CKorvelv13View::OnRecallMode(int index, bool ask) {
    const int i = clampMode(index);
    DeviceContext& ctx = app_.device();
    if (!app_.isConnected()) return;
    const int lang = app_.languageIndex();
    if (ask && ctx.dispatcher.paramsChanged.load() != 0) {
        const QString text =
            lang == kEnglish
                ? QStringLiteral("Setting changed ! Are you sure load mode%1?").arg(i + 1)
                : QString::fromUtf8("参数已更改，确定要直接载入模式") +
                      QString::fromUtf8(kModeDigitsZh[i]) + QLatin1Char('?');
        const auto answer =
            app_.messageBox({QMessageBox::Question, pick(lang, "信息", "Information"), text,
                             QMessageBox::Yes | QMessageBox::No});
        if (answer != QMessageBox::Yes) return;
    }
    ctx.store.currentMode.store(i);
    app_.postWrite([i](Senders& s) { s.sendCommand({cmd::kRecallMode, i, -1}); });
    app_.startPullWithDialog();
}

void CKorvelv13View::OnStoreMode(int index) {
    DeviceContext& ctx = app_.device();
    if (!app_.isConnected()) return;
    const int lang = app_.languageIndex();
    const int i = clampMode(index);
    const QString question = lang == kEnglish
                                 ? QStringLiteral("Save to machine mode %1?").arg(i + 1)
                                 : QString::fromUtf8("确定要保存至机器模式") +
                                       QString::fromUtf8(kModeDigitsZh[i]) + QLatin1Char('?');
    const auto answer = app_.messageBox({QMessageBox::Question, pick(lang, "信息", "Information"),
                                         question, QMessageBox::Yes | QMessageBox::No});
    if (answer != QMessageBox::Yes) return;
    ctx.dispatcher.paramsChanged.store(0);
    ctx.store.currentMode.store(i);
    app_.postWrite([i](Senders& s) { s.sendCommand({cmd::kStoreMode, i, -1}); });
    const QString notice =
        lang == kEnglish
            ? QStringLiteral("Saving Mode %1 ……").arg(i + 1)
            : QString::fromUtf8("正在储存模式%1,请稍等").arg(QString::fromUtf8(kModeDigitsZh[i]));
    // The unit needs half a second to store; the notice follows then.
    QTimer::singleShot(500, this, [this, notice] { app_.ShowInfo(notice, 2500); });
}

void CKorvelv13View::OnLoadFile() {
    const QString path = app_.fileDialog({false, QString()});
    if (path.isEmpty()) return;
    // Without a unit the file is opened for editing; it reaches a unit later.
    if (!app_.isConnected()) {
        app_.openOfflineDocument(path);
        return;
    }
    loadModeFile(path);
}

bool CKorvelv13View::loadModeFile(const QString& path) {
    DeviceContext& ctx = app_.device();
    const FileResult result = app_.defaultMode().loadModeFile(ctx.store, filePath(path));
    if (!result) {
        app_.showFileError(result.error);
        return false;
    }
    app_.connection().push();
    app_.addRecentFile(path);
    return true;
}

void CKorvelv13View::OnSaveFile() {
    const bool connected = app_.isConnected();
    const QString document = app_.documentPath();
    const QString defaultName =
        !connected && !document.isEmpty() ? document : QStringLiteral("name");
    const QString path = app_.fileDialog({true, defaultName});
    if (path.isEmpty()) return;
    // Without a unit there is no mode to store into: the file alone.
    if (!connected) {
        app_.saveOfflineDocument(path);
        return;
    }
    saveModeFile(path);
}

bool CKorvelv13View::saveModeFile(const QString& path) {
    DeviceContext& ctx = app_.device();
    // The live set goes into the unit's current mode as well.
    ctx.dispatcher.paramsChanged.store(0);
    const int mode = ctx.store.currentMode.load();
    app_.postWrite([mode](Senders& s) { s.sendCommand({cmd::kStoreMode, mode, -1}); });
    const FileResult result = v36::saveModeFile(ctx.store, filePath(path));
    if (!result) {
        app_.showFileError(result.error);
        return false;
    }
    app_.addRecentFile(path);
    return true;
}

void CKorvelv13View::OnResetUnit() {
    if (!app_.isConnected()) return;
    const int lang = app_.languageIndex();
    const QString question =
        lang == kEnglish
            ? QStringLiteral("Are you sure reset machine? ")
            : QString::fromUtf8("您确定要将机器复位吗? \n机器复位后将自动重新启动并连接.");
    const auto answer = app_.messageBox({QMessageBox::Question, questionCaption(lang), question,
                                         QMessageBox::Yes | QMessageBox::No});
    if (answer != QMessageBox::Yes) return;
    app_.postWrite([](Senders& s) { s.sendCommand({cmd::kRestart, 0xAA, -1}); });
    app_.ShowInfo(pick(lang, "机器正在重启……", "Restarting……"), 20000);
}

void CKorvelv13View::OnEqBypass() {
    if (page_ && page_->hasEq()) page_->ToggleEqBypass();
}

void CKorvelv13View::OnEqReset() {
    if (!page_) return;
    const int lang = app_.languageIndex();
    const auto answer =
        app_.messageBox({QMessageBox::Question, questionCaption(lang),
                         pick(lang, "您确定重置当前均衡吗?", "Are you sure reset the EQ?"),
                         QMessageBox::Yes | QMessageBox::No});
    if (answer != QMessageBox::Yes) return;
    if (page_ && page_->hasEq()) page_->ResetEq();
}

// --- Language ----------------------------------------------------------------------------

void CKorvelv13View::switchLanguage() {
    app_.setLanguageIndex(1 - app_.languageIndex());
    app_.settings().setValue(QStringLiteral("language"), app_.languageIndex());
    ApplyLanguageAll();
}

void CKorvelv13View::ApplyLanguageAll() {
    const bool loaded = app_.loadLanguageFile();
    ribbon_->relabel();
    app_.roomRemote().ApplyLanguage();
#ifdef V36_WITH_MQTT
    app_.brokerRoom().ApplyLanguage();
#endif
    if (!loaded) return;
    for (CToolDialog* dialog : app_.openToolDialogs())
        dialog->ApplyLanguage();
    if (page_) page_->ApplyLanguage();
}

// --- Language and ribbon ---------------------------------------------------------------

void CKorvelv13View::updateCommandUI() {
    ribbon_->updateCommandUI();
}

bool CKorvelv13View::levelPollRunning() const {
    return app_.connection().levelPollRunning();
}

// --- Connection --------------------------------------------------------------------------------

void CKorvelv13View::observeConnection() {
    ConnectionController& c = app_.connection();
    connect(&c, &ConnectionController::unitOpened, this, [this](int noticeMs) {
        const int lang = app_.languageIndex();
        app_.destroyToolDialogs();
        app_.updateTitle();
        ShowTrayNotice(pick(lang, "设备已连接，同步中……", "Device connected!"),
                       pick(lang, "信息", "Information"), noticeMs);
        updateCommandUI();
    });
    connect(&c, &ConnectionController::openFailed, this,
            [this](const QString& path, const QString& message) {
                const int lang = app_.languageIndex();
                app_.messageBox({QMessageBox::Warning, errorCaption(lang),
                                 permissionDeniedText(lang, path, message), QMessageBox::Ok});
            });
    connect(&c, &ConnectionController::offlineChoiceNeeded, this,
            &CKorvelv13View::askAboutOfflineEdits);
    connect(&c, &ConnectionController::syncStarted, this,
            [this](SyncKind) { app_.showSyncDialog(); });
    connect(&c, &ConnectionController::syncProgress, this, [this](int done, int total) {
        if (CSynDlg* dialog = app_.syncDialog()) dialog->setProgress(done, total);
    });
    connect(&c, &ConnectionController::syncFinished, this, &CKorvelv13View::onSyncFinished);
    connect(&c, &ConnectionController::offlineEditsPushed, this, [this] {
        // The edits are on the unit now; the history stays with them.
        app_.document().end();
    });
    connect(&c, &ConnectionController::unitsChanged, this, &CKorvelv13View::updateCommandUI);
    connect(&c, &ConnectionController::unitArrived, this, [this](const QString& name) {
        // The open unit keeps the window; the chooser offers the new one.
        const int lang = app_.languageIndex();
        ShowTrayNotice(unitArrivedText(name, lang), pick(lang, "信息", "Information"), 5000);
        updateCommandUI();
    });
    connect(&c, &ConnectionController::unitRemoved, this, [this] {
        const int lang = app_.languageIndex();
        QString text = pick(lang, "设备已断开!", "Device Disconnected!");
        // Another unit stays: the window does not move to it unasked.
        if (!app_.connection().units().empty()) {
            text += QLatin1Char('\n') + pick(lang, "其他设备仍已接入：可在状态栏中选择。",
                                             "Other units are attached: choose one in the "
                                             "status bar.");
        }
        ShowTrayNotice(text, pick(lang, "信息", "Information"), 5000);
        app_.updateTitle();
        updateCommandUI();
    });
    connect(&c, &ConnectionController::startFinished, this, [this] {
        const QString file = app_.takePendingOpenFile();
        if (!file.isEmpty()) app_.OpenDocumentFile(file);
    });
}

void CKorvelv13View::askAboutOfflineEdits() {
    ConnectionController& c = app_.connection();
    if (!app_.hasUnsavedOfflineEdits()) {
        c.choose(ConnectionController::OfflineChoice::Discard);
        return;
    }
    // The unit went and came back while the question was open: the open
    // question answers for the unit as it is now.
    if (askingAboutOfflineEdits_) return;
    askingAboutOfflineEdits_ = true;
    const auto done = qScopeGuard([this] { askingAboutOfflineEdits_ = false; });
    // Edits made without a unit would be replaced by its set: the user
    // chooses what becomes of them first.
    const int lang = app_.languageIndex();
    const QString document = app_.documentPath();
    for (;;) {
        QHash<int, QString> texts;
        texts.insert(QMessageBox::Save, pick(lang, "保存到文件", "Save to file"));
        texts.insert(QMessageBox::Apply, pick(lang, "写入设备", "Push to unit"));
        texts.insert(QMessageBox::Discard, pick(lang, "放弃修改", "Discard"));
        const auto answer = app_.messageBox(
            {QMessageBox::Question, pick(lang, "信息", "Information"),
             pick(lang, "设备已连接。未保存的离线修改将被设备的参数替换，请选择：",
                  "A unit was connected. Its settings will replace the edits made without it. "
                  "What should become of them?"),
             QMessageBox::Save | QMessageBox::Apply | QMessageBox::Discard},
            texts);
        // The unit may have gone while the question was open.
        if (!c.waitingForChoice()) return;
        if (answer == QMessageBox::Apply) {
            const int mode = document.isEmpty() ? -1 : defaultModeOf(filePath(document));
            c.choose(ConnectionController::OfflineChoice::Push,
                     captureModeImage(app_.device().store), mode);
            return;
        }
        if (answer != QMessageBox::Save) {
            c.choose(ConnectionController::OfflineChoice::Discard);
            return;
        }
        const QString path =
            document.isEmpty() ? app_.fileDialog({true, QStringLiteral("name")}) : document;
        if (!path.isEmpty() && app_.saveOfflineDocument(path)) {
            c.choose(ConnectionController::OfflineChoice::Saved);
            return;
        }
        // Not saved: ask again rather than lose the edits.
    }
}

void CKorvelv13View::onSyncFinished(SyncKind kind, ConnectionController::Outcome outcome) {
    using Outcome = ConnectionController::Outcome;
    if (outcome == Outcome::Accepted) {
        app_.document().synchronised(app_.connection().pushingOfflineEdits());
        const UnitListing unit = app_.connection().openUnit();
        if (!unit.serial.empty())
            app_.settings().setValue(QLatin1String(kLastUnitKey),
                                     QString::fromStdString(unit.serial));
        ribbon_->refresh();
        if (page_) page_->RefreshFromStore();
        for (CToolDialog* dialog : app_.openToolDialogs()) {
            if (dialog->kind() == ToolDialog::MachineSettings ||
                dialog->kind() == ToolDialog::AutoSub || dialog->kind() == ToolDialog::MusicAgc) {
                dialog->RefreshFromStore();
            }
        }
        // The dialog stays up for another 200 ms, without holding the GUI.
        app_.endSyncDialog(200);
        return;
    }
    app_.endSyncDialog();
    updateCommandUI();
    if (outcome == Outcome::Closed) return;  // the removal says it
    // What was seen, from the pull (or, after a push, the identity it had).
    ReadReport report = app_.sync().lastPull();
    if (kind == SyncKind::Push || report.complete()) {
        const ParamStore& store = app_.device().store;
        report.model = store.deviceModel.utf8();
        report.protocol = store.protocolVersion.load();
        report.status = outcome == Outcome::WrongModel ? ReadReport::Status::WrongModel
                                                       : ReadReport::Status::WrongProtocol;
    }
    // The box comes once the worker has been released.
    QTimer::singleShot(0, this, [this, outcome, report] {
        if (!errorBoxGuard_) return;
        errorBoxGuard_ = false;
        const int lang = app_.languageIndex();
        QString text = QString::fromStdString(report.message(lang));
        if (lang == kEnglish && !text.isEmpty()) text[0] = text[0].toUpper();
        if (outcome == Outcome::Unread) {
            // Nothing of the unit was taken: read it again, or let it go.
            QHash<int, QString> texts;
            texts.insert(QMessageBox::Retry, pick(lang, "重试", "Retry"));
            texts.insert(QMessageBox::Close, pick(lang, "断开连接", "Disconnect"));
            const auto answer = app_.messageBox(
                {QMessageBox::Warning, pick(lang, "错误", "Error"),
                 text + QLatin1Char('\n') +
                     pick(lang, "未读取完整的设备参数不会被显示或保存。",
                          "Nothing of a unit that was not read whole is shown or saved."),
                 QMessageBox::Retry | QMessageBox::Close},
                texts);
            errorBoxGuard_ = true;
            ConnectionController& c = app_.connection();
            if (!c.unread() || !app_.isConnected()) return;
            if (answer == QMessageBox::Retry) {
                c.pull();
            } else {
                c.disconnectUnit();
            }
            return;
        }
        app_.messageBox(
            {QMessageBox::Critical, pick(lang, "错误", "Error"), text, QMessageBox::Ok});
        errorBoxGuard_ = true;
    });
}

// --- Notices -------------------------------------------------------------------------------------

void CKorvelv13View::ShowTrayNotice(const QString& text, const QString& title, int milliseconds) {
    noticeText_ = text;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!tray_) {
            tray_ = new QSystemTrayIcon(applicationIcon(), this);
            connect(tray_, &QSystemTrayIcon::activated, this, [this] { hideNotice(); });
            connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] { hideNotice(); });
        }
        tray_->show();
        tray_->showMessage(title, text, QSystemTrayIcon::Information, milliseconds);
    } else {
        // No tray on this desktop: the notice shows inside the window.
        notice_->setText(title + QStringLiteral("\n") + text);
        notice_->adjustSize();
        notice_->move(width() - notice_->width() - 12, height() - notice_->height() - 12);
        notice_->show();
        notice_->raise();
    }
    trayTimer_.start(milliseconds);
}

bool CKorvelv13View::noticeVisible() const {
    return (tray_ && tray_->isVisible()) || notice_->isVisible();
}

void CKorvelv13View::hideNotice() {
    trayTimer_.stop();
    if (tray_) tray_->hide();
    notice_->hide();
}

bool CKorvelv13View::eventFilter(QObject* watched, QEvent* event) {
    if (watched == notice_ && event->type() == QEvent::MouseButtonPress) {
        hideNotice();
        return true;
    }
    if (event->type() == QEvent::Wheel) {
        auto* widget = qobject_cast<QWidget*>(watched);
        CMyMFCRibbonBar* r = frame_.ribbon();
        if (widget && r && (widget == r || r->isAncestorOf(widget))) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (wheel->angleDelta().y() == 0) return true;
            ribbon_->handleWheel(wheel);
            return true;  // the ribbon never sees the wheel itself
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace v36
