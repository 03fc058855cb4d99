#include "app/main_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "app/app.h"
#include "app/icons.h"
#include "app/language.h"
#include "app/main_frame.h"
#include "app/ribbon.h"
#include "app/ribbon_texts.h"
#include "app/room_remote.h"
#include "app/status_bar.h"
#include "app/sync_dialog.h"
#include "protocol/controls.h"
#include "protocol/default_mode.h"
#include "protocol/edit.h"
#include "protocol/mode_file.h"
#include "protocol/report.h"
#include "protocol/words.h"

namespace v36 {

namespace {

std::filesystem::path toPath(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

const char* const kModeDigitsZh[] = {"一", "二", "三", "四"};

int clampMode(int i) {
    return std::clamp(i, 0, 3);
}

}  // namespace

CKorvelv13View::CKorvelv13View(CKorvelv13App& app, CMainFrame& frame)
    : QWidget(&frame),
      app_(app),
      frame_(frame),
      pollOutstanding_(std::make_shared<std::atomic<bool>>(false)) {
    setContextMenuPolicy(Qt::PreventContextMenu);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kPageBackground));
    setPalette(palette);
    setAutoFillBackground(true);

    startTimer_.setSingleShot(true);
    connect(&startTimer_, &QTimer::timeout, this, &CKorvelv13View::connectAtStart);
    connect(&pollTimer_, &QTimer::timeout, this, &CKorvelv13View::pollLevels);
    trayTimer_.setSingleShot(true);
    connect(&trayTimer_, &QTimer::timeout, this, &CKorvelv13View::hideNotice);
    connect(&uiTimer_, &QTimer::timeout, this, &CKorvelv13View::updateCommandUI);

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

CMyMFCRibbonBar& CKorvelv13View::ribbon() const {
    return *frame_.ribbon();
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
    uiTimer_.start(200);
    updateCommandUI();
    startTimer_.start(app_.options().startDelayMs);
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
    for (const RibbonIds& ids : kRibbonIds) {
        if (cmd == ids.micSlider || cmd == ids.effectSlider || cmd == ids.musicSlider ||
            cmd == ids.gateSlider || cmd == ids.pitchSlider) {
            OnSliderCommand(cmd);
            return;
        }
        if (cmd == ids.micMute || cmd == ids.musicMute) {
            OnMuteCommand(cmd);
            return;
        }
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
    const QString name = ribbon().activeCategoryName();
    if (isInputCategoryName(name)) {
        ShowPage(PageKind::Music, 0);
    } else if (isOutputCategoryName(name)) {
        ShowPage(PageKind::Output, app_.currentOutputChannel());
    }
    refreshPitchCaption();
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
    const FileResult result = app_.defaultMode().loadModeFile(ctx.store, toPath(path));
    if (!result) {
        app_.showFileError(result.error);
        return false;
    }
    app_.sync().startPush();
    app_.RunSyncDialog(QString());
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
    const FileResult result = v36::saveModeFile(ctx.store, toPath(path));
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
    const auto answer = app_.messageBox({QMessageBox::Question, QString::fromUtf8("提示"), question,
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
        app_.messageBox({QMessageBox::Question, QString::fromUtf8("提示"),
                         pick(lang, "您确定重置当前均衡吗?", "Are you sure reset the EQ?"),
                         QMessageBox::Yes | QMessageBox::No});
    if (answer != QMessageBox::Yes) return;
    if (page_ && page_->hasEq()) page_->ResetEq();
}

// --- Ribbon commands -------------------------------------------------------------------

bool CKorvelv13View::outputActive() const {
    return isOutputCategoryName(ribbon().activeCategoryName());
}

int CKorvelv13View::sliderValue(int inputId, int outputId) const {
    return ribbon().slider(outputActive() ? outputId : inputId)->value();
}

void CKorvelv13View::setBothSliders(int inputId, int outputId, int value) {
    ribbon().slider(inputId)->setPos(value);
    ribbon().slider(outputId)->setPos(value);
}

void CKorvelv13View::setBothLabels(int inputId, int outputId, VolumeControl control, int value) {
    const QString text = volumeLabel(control, app_.languageIndex(), value);
    ribbon().setElementText(inputId, text);
    ribbon().setElementText(outputId, text);
}

void CKorvelv13View::OnSliderCommand(int cmd) {
    const RibbonIds& in = kRibbonIds[kInputCategory];
    const RibbonIds& out = kRibbonIds[kOutputCategory];
    if (cmd == in.micSlider || cmd == out.micSlider) {
        OnVolume(VolumeControl::Mic, sliderValue(in.micSlider, out.micSlider));
    } else if (cmd == in.effectSlider || cmd == out.effectSlider) {
        OnVolume(VolumeControl::Effect, sliderValue(in.effectSlider, out.effectSlider));
    } else if (cmd == in.musicSlider || cmd == out.musicSlider) {
        OnVolume(VolumeControl::Music, sliderValue(in.musicSlider, out.musicSlider));
    } else if (cmd == in.gateSlider || cmd == out.gateSlider) {
        OnVolume(VolumeControl::Gate, sliderValue(in.gateSlider, out.gateSlider));
    } else if (cmd == in.pitchSlider || cmd == out.pitchSlider) {
        OnPitch(sliderValue(in.pitchSlider, out.pitchSlider));
    }
}

void CKorvelv13View::OnVolume(VolumeControl control, int value) {
    const RibbonIds& in = kRibbonIds[kInputCategory];
    const RibbonIds& out = kRibbonIds[kOutputCategory];
    DeviceContext& ctx = app_.device();
    const int lang = app_.languageIndex();
    int v = value;
    int word = 0, inSlider = 0, outSlider = 0, inLabel = 0, outLabel = 0;
    int muteWord = -1;
    switch (control) {
        case VolumeControl::Mic:
            word = w::micVolume;
            muteWord = w::micMute;
            inSlider = in.micSlider, outSlider = out.micSlider;
            inLabel = in.micLabel, outLabel = out.micLabel;
            break;
        case VolumeControl::Effect:
            word = w::effectVolume;
            inSlider = in.effectSlider, outSlider = out.effectSlider;
            inLabel = in.effectLabel, outLabel = out.effectLabel;
            break;
        case VolumeControl::Music:
            word = w::musicVolume;
            muteWord = w::musicMute;
            inSlider = in.musicSlider, outSlider = out.musicSlider;
            inLabel = in.musicLabel, outLabel = out.musicLabel;
            break;
        case VolumeControl::Gate:
            word = w::musicGateThreshold;
            inSlider = in.gateSlider, outSlider = out.gateSlider;
            inLabel = in.gateLabel, outLabel = out.gateLabel;
            break;
    }
    // The machine settings' limits: byte 5 microphone, byte 6 music.
    if (const auto limit = ctx.volumeLimitOf(word)) {
        if (v > *limit) {
            app_.ShowInfo(volumeLimitMessage(control, lang), 1100);
            v = *limit;
        }
    }
    setBothSliders(inSlider, outSlider, v);
    app_.edits().apply(wordEdit(ctx.store, word, v));
    if (muteWord >= 0 && ctx.store.params.getInt(muteWord) != 0) {
        app_.ShowInfo(muteHintMessage(lang), 1100);
    }
    setBothLabels(inLabel, outLabel, control, v);
}

void CKorvelv13View::OnPitch(int value) {
    const QString name = ribbon().activeCategoryName();
    if (!isInputCategoryName(name) && !isOutputCategoryName(name)) return;
    app_.edits().apply(wordEdit(app_.device().store, w::musicPitch, value));
    setBothSliders(kRibbonIds[kInputCategory].pitchSlider, kRibbonIds[kOutputCategory].pitchSlider,
                   value);
    ribbon().setPanelName(ribbon().activeCategory(), kPitchPanel,
                          pitchCaptionMoved(app_.languageIndex(), value));
    ribbon().recalcLayout();
}

void CKorvelv13View::OnMuteCommand(int cmd) {
    DeviceContext& ctx = app_.device();
    const RibbonIds& in = kRibbonIds[kInputCategory];
    const RibbonIds& out = kRibbonIds[kOutputCategory];
    int word = -1;
    if (cmd == in.micMute || cmd == out.micMute) {
        word = w::micMute;
    } else if (cmd == in.musicMute || cmd == out.musicMute) {
        word = w::musicMute;
    }
    if (word < 0) return;
    const int muted = ctx.store.params.getInt(word) != 0 ? 0 : 1;
    // Unmuting the music fades it in over about 270 ms on the writer thread.
    app_.edits().apply(wordEdit(ctx.store, word, muted));
    const int inId = word == w::micMute ? in.micMute : in.musicMute;
    const int outId = word == w::micMute ? out.micMute : out.musicMute;
    ribbon().setChecked(inId, muted != 0);
    ribbon().setChecked(outId, muted != 0);
}

bool CKorvelv13View::handleRibbonWheel(QWheelEvent* event) {
    const QString name = ribbon().activeCategoryName();
    if (!isInputCategoryName(name) && !isOutputCategoryName(name)) return false;
    const int step = event->angleDelta().y() > 0 ? 1 : -1;
    const int category = ribbon().activeCategory();
    const RibbonIds& ids = kRibbonIds[static_cast<std::size_t>(category)];
    const QPoint global = event->globalPosition().toPoint();
    auto over = [&](QWidget* w) {
        return w && w->isVisible() && w->rect().contains(w->mapFromGlobal(global));
    };
    int target = 0;
    if (over(ribbon().panelWidget(category, 0))) {
        target = ids.micSlider;
    } else if (over(ribbon().panelWidget(category, 1))) {
        target = ids.effectSlider;
    } else if (over(ribbon().panelWidget(category, 2))) {
        target = ids.musicSlider;
    } else if (over(ribbon().slider(ids.pitchSlider))) {
        target = ids.pitchSlider;
    } else if (over(ribbon().slider(ids.gateSlider))) {
        target = ids.gateSlider;
    }
    // The active category's slider steps and notifies; the command sets its
    // twin in the other category.
    if (target != 0) ribbon().slider(target)->step(step);
    return true;
}

// --- Language ----------------------------------------------------------------------------

void CKorvelv13View::switchLanguage() {
    app_.setLanguageIndex(1 - app_.languageIndex());
    app_.settings().setValue(QStringLiteral("language"), app_.languageIndex());
    ApplyLanguageAll();
}

void CKorvelv13View::ApplyLanguageAll() {
    const bool loaded = app_.loadLanguageFile();
    relabelRibbon();
    app_.roomRemote().ApplyLanguage();
    if (!loaded) return;
    for (CToolDialog* dialog : app_.openToolDialogs())
        dialog->ApplyLanguage();
    if (page_) page_->ApplyLanguage();
}

void CKorvelv13View::relabelRibbon() {
    CMyMFCRibbonBar& r = ribbon();
    const int lang = app_.languageIndex();
    const ParamBlock& p = app_.device().store.params;
    for (int c = 0; c < 2; ++c) {
        const QString name = r.categoryName(c);
        if (isInputCategoryName(name)) r.setCategoryName(c, categoryName(kInputCategory, lang));
        if (isOutputCategoryName(name)) r.setCategoryName(c, categoryName(kOutputCategory, lang));
        for (int panel = 0; panel < kPanelCount; ++panel) {
            r.setPanelName(c, panel,
                           panel == kPitchPanel ? pitchCaptionRelabel(lang, p.getInt(w::musicPitch))
                                                : panelNameAfterSwitch(panel, lang));
        }
        const RibbonIds& ids = kRibbonIds[static_cast<std::size_t>(c)];
        r.setElementText(ids.micLabel,
                         volumeLabelAfterSwitch(VolumeControl::Mic, lang, p.getInt(w::micVolume)));
        r.setElementText(ids.effectLabel, volumeLabelAfterSwitch(VolumeControl::Effect, lang,
                                                                 p.getInt(w::effectVolume)));
        r.setElementText(ids.musicLabel, volumeLabelAfterSwitch(VolumeControl::Music, lang,
                                                                p.getInt(w::musicVolume)));
        r.setElementText(ids.gateLabel, volumeLabelAfterSwitch(VolumeControl::Gate, lang,
                                                               p.getInt(w::musicGateThreshold)));
        r.setElementText(ids.micMute, pick(lang, "静音", "Mute"));
        r.setElementText(ids.musicMute, pick(lang, "静音", "Mute"));
        r.setElementText(ids.loadFile, pick(lang, "载入文件", "LoadFile"));
        r.setElementText(ids.saveFile, pick(lang, "保存文件", "SaveFile"));
        r.setElementText(ids.loadMode, pick(lang, "载入模式", "LoadMode"));
        r.setElementText(ids.saveMode, pick(lang, "保存模式", "SaveMode"));
    }
    r.setElementText(id::kResetUnit, pick(lang, "机器复位", "Reset"));
    r.setElementText(id::kRemoteLearning, pick(lang, "遥控学习", "Remote control"));
    r.setElementText(id::kAutoSub, pick(lang, "自动超低", "Auto SUB"));
    r.setElementText(id::kMusicSourceMenu, pick(lang, "音乐源", "Music Source"));
    r.setElementText(id::kMusicAgc, pick(lang, "音乐AGC", "Music AGC"));
    r.setElementText(id::kOpen, pick(lang, "打开(&O)", "Open(&O)"));
    r.setElementText(id::kSave, pick(lang, "保存(&S)", "Save(&S)"));
    r.setElementText(id::kExit, pick(lang, "退出(&X)", "Exit(&X)"));
    r.setElementText(id::kRoomRemote, pick(lang, "遥控网页", "Room remote"));
    r.applyLanguage(lang);
    r.recalcLayout();
    updateCommandUI();
}

void CKorvelv13View::refreshVolumes() {
    const ParamBlock& p = app_.device().store.params;
    const RibbonIds& in = kRibbonIds[kInputCategory];
    const RibbonIds& out = kRibbonIds[kOutputCategory];
    auto both = [&](int inSlider, int outSlider, int inLabel, int outLabel, VolumeControl c,
                    int value) {
        setBothSliders(inSlider, outSlider, value);
        setBothLabels(inLabel, outLabel, c, value);
    };
    both(in.micSlider, out.micSlider, in.micLabel, out.micLabel, VolumeControl::Mic,
         p.getInt(w::micVolume));
    both(in.effectSlider, out.effectSlider, in.effectLabel, out.effectLabel, VolumeControl::Effect,
         p.getInt(w::effectVolume));
    both(in.musicSlider, out.musicSlider, in.musicLabel, out.musicLabel, VolumeControl::Music,
         p.getInt(w::musicVolume));
    both(in.gateSlider, out.gateSlider, in.gateLabel, out.gateLabel, VolumeControl::Gate,
         p.getInt(w::musicGateThreshold));
}

void CKorvelv13View::refreshRibbon() {
    CMyMFCRibbonBar& r = ribbon();
    const int lang = app_.languageIndex();
    const ParamBlock& p = app_.device().store.params;
    const RibbonIds& in = kRibbonIds[kInputCategory];
    const RibbonIds& out = kRibbonIds[kOutputCategory];
    refreshVolumes();
    const QString name = r.activeCategoryName();
    if (isInputCategoryName(name) || isOutputCategoryName(name)) {
        const int pitch = p.getInt(w::musicPitch);
        for (int sliderId : {in.pitchSlider, out.pitchSlider}) {
            r.slider(sliderId)->setRange(-5, 5);
            r.slider(sliderId)->setPos(pitch);
        }
        r.setPanelName(r.activeCategory(), kPitchPanel, pitchCaptionRefresh(lang, pitch));
    }
    r.setElementText(id::kMusicAgc, pick(lang, "音乐AGC", "Music AGC"));
    r.recalcLayout();
    updateCommandUI();
}

void CKorvelv13View::refreshPitchCaption() {
    CMyMFCRibbonBar& r = ribbon();
    const QString name = r.activeCategoryName();
    if (!isInputCategoryName(name) && !isOutputCategoryName(name)) return;
    r.setPanelName(r.activeCategory(), kPitchPanel,
                   pitchCaptionRefresh(app_.languageIndex(),
                                       app_.device().store.params.getInt(w::musicPitch)));
}

void CKorvelv13View::updateCommandUI() {
    CMyMFCRibbonBar& r = ribbon();
    CMFCMyRibbonStatusBar* status = frame_.statusPanes();
    DeviceContext& ctx = app_.device();
    const ParamStore& store = ctx.store;
    const int lang = app_.languageIndex();
    const bool connected = app_.isConnected();

    if (status) {
        CMyMFCRibbonStatusBarPane* usb = status->pane(id::kPaneUsb);
        usb->setText(usbPaneText(connected, lang));
        usb->setTextColor(connected ? QColor(0, 150, 0) : QColor(220, 0, 0));
        const int mode = store.currentMode.load();
        const std::size_t nameIndex = mode >= 1 && mode <= 3 ? static_cast<std::size_t>(mode) : 0;
        status->pane(id::kPaneMode)
            ->setText(modePaneText(
                mode, QString::fromStdU16String(store.modeNames[nameIndex].get()), lang));
        // A unit that stopped answering: every write waits its whole time.
        CMyMFCRibbonStatusBarPane* silence = status->pane(id::kPaneEmpty);
        const bool silent = connected && ctx.link.unansweredWrites() > 0;
        silence->setText(silent ? pick(lang, "设备无应答", "the unit does not answer") : QString());
        silence->setTextColor(QColor(220, 0, 0));
        const bool eqPage = page_ && page_->hasEq();
        status->bypassCheck()->setText(pick(lang, "均衡旁路", "Bypass"));
        status->bypassCheck()->setEnabled(eqPage);
        status->bypassCheck()->setChecked(eqPage && page_->IsEqBypassed());
        status->resetButton()->setText(pick(lang, "重置均衡", "Reset EQ"));
        status->resetButton()->setEnabled(eqPage);
    }

    // Undo and Redo name the step they would take.
    const EditPath& edits = app_.edits();
    const EditText undo = edits.undoText();
    const EditText redo = edits.redoText();
    auto entry = [lang](const char* zh, const char* en, const EditText& step) {
        const QString head = pick(lang, zh, en);
        const QString name = QString::fromStdString(step.in(lang));
        return name.isEmpty() ? head : head + QLatin1Char(' ') + name;
    };
    r.setElementText(id::kUndo, entry("撤销", "Undo", undo));
    r.setElementEnabled(id::kUndo, edits.canUndo());
    r.setElementText(id::kRedo, entry("重做", "Redo", redo));
    r.setElementEnabled(id::kRedo, edits.canRedo());

    const int mode = store.currentMode.load();
    for (int i = 0; i < 4; ++i) {
        r.setChecked(id::kRecallMode1 + i, i == mode);
        r.setChecked(id::kStoreMode1 + i, i == mode);
    }
    const int hdmi = store.hdmiInput.load();
    for (int k = 0; k < 4; ++k)
        r.setChecked(id::kHdmi1 + k, k == hdmi);
    const int source = store.musicSource.load();
    for (int k = 0; k < 3; ++k)
        r.setChecked(id::kMusicSource1 + k, k == source);
    r.setElementEnabled(id::kMusicAgc, store.protocolVersion.load() > 8);

    const RibbonIds& in = kRibbonIds[kInputCategory];
    const RibbonIds& out = kRibbonIds[kOutputCategory];
    const bool micMuted = store.params.getInt(w::micMute) != 0;
    const bool musicMuted = store.params.getInt(w::musicMute) != 0;
    r.setChecked(in.micMute, micMuted);
    r.setChecked(out.micMute, micMuted);
    r.setChecked(in.musicMute, musicMuted);
    r.setChecked(out.musicMute, musicMuted);

    const auto live = store.liveStatus.snapshot();
    for (int mic = 0; mic < 2; ++mic) {
        const std::size_t at = 8 + 4 * static_cast<std::size_t>(mic);
        const MicStatusTexts texts =
            micStatusTexts({live[at], live[at + 1], live[at + 2], live[at + 3]}, lang);
        for (const RibbonIds& ids : kRibbonIds) {
            const auto& labels = mic == 0 ? ids.mic1Status : ids.mic2Status;
            r.setElementText(labels[0], texts.rfAf);
            r.setElementText(labels[1], texts.frequency);
            r.setElementText(labels[2], texts.battery);
        }
    }
}

// --- Connection --------------------------------------------------------------------------------

void CKorvelv13View::startWatching() {
    if (watcher_) return;
    QPointer<CKorvelv13View> self(this);
    std::string error;
    watcher_ = app_.device().watchHotplug(
        [self](const HotplugEvent& event) {
            // Delivered on the watcher's thread or from the socket notifier:
            // the view handles it on the GUI thread, in order.
            QMetaObject::invokeMethod(
                qApp,
                [self, event] {
                    if (!self) return;
                    if (event.kind == HotplugEvent::Kind::Arrival) {
                        self->OnDeviceArrival();
                    } else {
                        self->OnDeviceRemoval(event.path);
                    }
                },
                Qt::QueuedConnection);
        },
        HotplugDelivery::FileDescriptor, &error);
    if (!watcher_) {
        app_.device().trace.write("hotplug: " + error + "\n");
        return;
    }
    if (watcher_->fd() >= 0) {
        watcherNotifier_ = new QSocketNotifier(watcher_->fd(), QSocketNotifier::Read, this);
        connect(watcherNotifier_, &QSocketNotifier::activated, this,
                [this] { watcher_->processEvents(); });
    }
}

void CKorvelv13View::connectAtStart() {
    startTimer_.stop();
    startWatching();
    DeviceContext& ctx = app_.device();
    const OpenResult opened = ctx.openLink();
    const int lang = app_.languageIndex();
    if (opened) {
        synchroniseNewConnection(5000);
    } else if (opened.error == OpenError::PermissionDenied && !permissionShown_) {
        // A unit that is present but may not be opened is worth a word;
        // otherwise the view waits quietly for an arrival.
        permissionShown_ = true;
        app_.messageBox({QMessageBox::Warning, pick(lang, "错误", "Error"),
                         QString::fromStdString(opened.message), QMessageBox::Ok});
    }
    const QString file = app_.takePendingOpenFile();
    if (!file.isEmpty()) app_.OpenDocumentFile(file);
}

void CKorvelv13View::OnDeviceArrival() {
    DeviceContext& ctx = app_.device();
    const OpenResult opened = ctx.openLink();
    const int lang = app_.languageIndex();
    if (!opened) {
        if (opened.error == OpenError::PermissionDenied && !permissionShown_) {
            permissionShown_ = true;
            app_.messageBox({QMessageBox::Warning, pick(lang, "错误", "Error"),
                             QString::fromStdString(opened.message), QMessageBox::Ok});
        }
        return;
    }
    app_.destroyToolDialogs();
    synchroniseNewConnection(4000);
}

void CKorvelv13View::synchroniseNewConnection(int noticeMs) {
    const int lang = app_.languageIndex();
    refused_ = false;
    // Edits made without a unit would be replaced by its set: the user
    // chooses what becomes of them first.
    const OfflineChoice choice = askAboutOfflineEdits();
    std::optional<ModeImage> pushAfterPull;
    int pushMode = -1;
    if (choice == OfflineChoice::Push) {
        pushAfterPull = captureModeImage(app_.device().store);
        if (!app_.documentPath().isEmpty()) pushMode = defaultModeOf(toPath(app_.documentPath()));
        app_.setKeepHistory(true);
    }
    app_.updateTitle();
    ShowTrayNotice(pick(lang, "设备已连接，同步中……", "Device connected!"),
                   pick(lang, "信息", "Information"), noticeMs);
    // The pull identifies the unit; only an accepted unit takes the edits.
    app_.startPullWithDialog();
    if (pushAfterPull && app_.isConnected() && !refused_) {
        applyModeImage(app_.device().store, *pushAfterPull);
        app_.defaultMode().pendingStoreMode = pushMode;
        app_.sync().startPush();
        app_.RunSyncDialog(QString());
    }
    if (pushAfterPull) {
        app_.setKeepHistory(false);
        // The edits are on the unit now; the history stays with them.
        app_.endDocument();
    }
    if (app_.isConnected() && !refused_) pollTimer_.start(app_.options().levelPollMs);
}

CKorvelv13View::OfflineChoice CKorvelv13View::askAboutOfflineEdits() {
    if (!app_.hasUnsavedOfflineEdits()) return OfflineChoice::Discard;
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
        if (answer == QMessageBox::Apply) return OfflineChoice::Push;
        if (answer != QMessageBox::Save) return OfflineChoice::Discard;
        const QString path =
            document.isEmpty() ? app_.fileDialog({true, QStringLiteral("name")}) : document;
        if (!path.isEmpty() && app_.saveOfflineDocument(path)) return OfflineChoice::Save;
        // Not saved: ask again rather than lose the edits.
    }
}

void CKorvelv13View::OnDeviceRemoval(const std::string& path) {
    DeviceContext& ctx = app_.device();
    ctx.trace.write("removed!\n");
    if (!ctx.handleRemoval(path)) return;
    pollTimer_.stop();
    const int lang = app_.languageIndex();
    ShowTrayNotice(pick(lang, "设备已断开!", "Device Disconnected!"),
                   pick(lang, "信息", "Information"), 5000);
    app_.updateTitle();
    updateCommandUI();
}

void CKorvelv13View::OnSyncProgress(int done, int total) {
    if (CSynDlg* dialog = app_.syncDialog()) dialog->setProgress(done, total);
}

void CKorvelv13View::OnSyncDone(SyncKind kind) {
    DeviceContext& ctx = app_.device();
    const ParamStore& store = ctx.store;
    if (identityAccepted(store)) {
        app_.onStoreSynchronised();
        // The file's mode is stored once the file has reached the unit: a
        // pull that was still running when the file was loaded finishes
        // first and must not store the unit's old set into that mode.
        const int pending = app_.defaultMode().pendingStoreMode;
        if (pending != -1 && kind == SyncKind::Push) {
            app_.defaultMode().clear();
            DefaultModeState state;
            state.pendingStoreMode = pending;
            app_.postWrite([state](Senders& s) mutable { state.storeAfterPush(s); });
        }
        refreshRibbon();
        if (page_) page_->RefreshFromStore();
        for (CToolDialog* dialog : app_.openToolDialogs()) {
            if (dialog->kind() == ToolDialog::MachineSettings ||
                dialog->kind() == ToolDialog::AutoSub || dialog->kind() == ToolDialog::MusicAgc) {
                dialog->RefreshFromStore();
            }
        }
        // The dialog stays up for another 200 ms, without holding the GUI.
        QPointer<CSynDlg> dialog = app_.syncDialog();
        if (dialog)
            QTimer::singleShot(200, dialog, [dialog] {
                if (dialog) dialog->end();
            });
        return;
    }

    const int error = modelMatches(store.deviceModel.get()) ? 2 : 1;
    // A refused unit takes no pending mode: it must not be stored into a
    // mode of the next unit that is accepted.
    app_.defaultMode().clear();
    refused_ = true;
    if (CSynDlg* dialog = app_.syncDialog()) dialog->end();
    disconnectUnit();
    // The box comes once the worker has been released.
    QTimer::singleShot(0, this, [this, error] {
        if (!errorBoxGuard_) return;
        errorBoxGuard_ = false;
        app_.messageBox({QMessageBox::Critical, QString::fromUtf8("错误"),
                         error == 1
                             ? QString::fromUtf8("机器型号与软件不匹配!")
                             : QString::fromUtf8("机器与软件通信版本不匹配，请使用机器配套软件!"),
                         QMessageBox::Ok});
        errorBoxGuard_ = true;
    });
}

void CKorvelv13View::disconnectUnit() {
    DeviceContext& ctx = app_.device();
    pollTimer_.stop();
    if (!app_.isConnected()) return;
    // The goodbye and the close wait on the link: the writer does them, after
    // what the GUI posted before.
    ctx.store.liveStatus.fill(0);
    app_.postWrite([&ctx](Senders& s) {
        s.sendCommand({cmd::kDisconnect, -1});
        ctx.closeLink();
    });
}

void CKorvelv13View::pollLevels() {
    DeviceContext& ctx = app_.device();
    if (!ctx.link.pollingEnabled.load() || !app_.isConnected() || !app_.levelPollEnable()) return;
    // One poll at a time: a silent unit must not pile them up.
    if (pollOutstanding_->exchange(true)) return;
    auto outstanding = pollOutstanding_;
    app_.postWrite([outstanding](Senders& s) {
        s.sendCommand({cmd::kQueryStatus, -1});
        outstanding->store(false);
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
            handleRibbonWheel(wheel);
            return true;  // the ribbon never sees the wheel itself
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace v36
