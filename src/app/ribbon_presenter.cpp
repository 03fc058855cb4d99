#include "app/ribbon_presenter.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QWheelEvent>

#include "app/app.h"
#include "app/language.h"
#include "app/main_frame.h"
#include "app/ribbon.h"
#include "app/ribbon_texts.h"
#include "app/status_bar.h"
#include "protocol/controls.h"
#include "protocol/edit.h"
#include "protocol/words.h"

namespace v36 {

RibbonPresenter::RibbonPresenter(CKorvelv13App& app, CMainFrame& frame, StoreWatcher& watcher,
                                 PageLookup currentPage, QObject* parent)
    : QObject(parent),
      app_(app),
      frame_(frame),
      watcher_(watcher),
      currentPage_(std::move(currentPage)) {
    cursor_.reset(watcher_.store().changes);
    connect(&watcher_, &StoreWatcher::changed, this, &RibbonPresenter::onStoreChanged);
    connect(&linkTimer_, &QTimer::timeout, this, &RibbonPresenter::updateCommandUI);
    linkTimer_.start(1000);
}

CMyMFCRibbonBar& RibbonPresenter::ribbon() const {
    return *frame_.ribbon();
}

void RibbonPresenter::onStoreChanged() {
    const StoreChanges& changes = watcher_.store().changes;
    const StoreChanges::Seq since = cursor_.take(changes);
    for (int word : {w::micVolume, w::effectVolume, w::musicVolume, w::musicGateThreshold}) {
        if (changes.word(word) > since) {
            refreshVolumes();
            break;
        }
    }
    if (changes.word(w::musicPitch) > since) refreshPitch();
    updateCommandUI();
}

void RibbonPresenter::refreshPitch() {
    CMyMFCRibbonBar& r = ribbon();
    const QString name = r.activeCategoryName();
    if (!isInputCategoryName(name) && !isOutputCategoryName(name)) return;
    const int pitch = app_.device().store.params.getInt(w::musicPitch);
    const ControlInfo& range = controlInfo(w::musicPitch);
    for (int sliderId :
         {kRibbonIds[kInputCategory].pitchSlider, kRibbonIds[kOutputCategory].pitchSlider}) {
        r.slider(sliderId)->setRange(static_cast<int>(range.lo), static_cast<int>(range.hi));
        r.slider(sliderId)->setPos(pitch);
    }
    r.setPanelName(r.activeCategory(), kPitchPanel,
                   pitchCaptionRefresh(app_.languageIndex(), pitch));
    r.recalcLayout();
}

bool RibbonPresenter::outputActive() const {
    return isOutputCategoryName(ribbon().activeCategoryName());
}

int RibbonPresenter::sliderValue(int inputId, int outputId) const {
    return ribbon().slider(outputActive() ? outputId : inputId)->value();
}

void RibbonPresenter::setBothSliders(int inputId, int outputId, int value) {
    ribbon().slider(inputId)->setPos(value);
    ribbon().slider(outputId)->setPos(value);
}

void RibbonPresenter::setBothLabels(int inputId, int outputId, VolumeControl control, int value) {
    const QString text = volumeLabel(control, app_.languageIndex(), value);
    ribbon().setElementText(inputId, text);
    ribbon().setElementText(outputId, text);
}

bool RibbonPresenter::handleCommand(int cmd) {
    for (const RibbonIds& ids : kRibbonIds) {
        if (cmd == ids.micMute || cmd == ids.musicMute) {
            OnMuteCommand(cmd);
            return true;
        }
    }
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
    } else {
        return false;
    }
    return true;
}

void RibbonPresenter::OnVolume(VolumeControl control, int value) {
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

void RibbonPresenter::OnPitch(int value) {
    const QString name = ribbon().activeCategoryName();
    if (!isInputCategoryName(name) && !isOutputCategoryName(name)) return;
    app_.edits().apply(wordEdit(app_.device().store, w::musicPitch, value));
    setBothSliders(kRibbonIds[kInputCategory].pitchSlider, kRibbonIds[kOutputCategory].pitchSlider,
                   value);
    ribbon().setPanelName(ribbon().activeCategory(), kPitchPanel,
                          pitchCaptionMoved(app_.languageIndex(), value));
    ribbon().recalcLayout();
}

void RibbonPresenter::OnMuteCommand(int cmd) {
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

bool RibbonPresenter::handleWheel(QWheelEvent* event) {
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

void RibbonPresenter::relabel() {
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
#ifdef V36_WITH_MQTT
    r.setElementText(id::kBrokerRoom, pick(lang, "MQTT 服务器", "Broker"));
#endif
    r.setElementText(id::kNoiseGate, noiseGateMenuText(lang));
    r.setElementText(id::kMachineSettings, machineSettingsMenuText(lang));
    r.applyLanguage(lang);
    r.recalcLayout();
    updateCommandUI();
}

void RibbonPresenter::refreshVolumes() {
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

void RibbonPresenter::refresh() {
    CMyMFCRibbonBar& r = ribbon();
    refreshVolumes();
    refreshPitch();
    r.setElementText(id::kMusicAgc, pick(app_.languageIndex(), "音乐AGC", "Music AGC"));
    r.recalcLayout();
    updateCommandUI();
}

void RibbonPresenter::refreshPitchCaption() {
    CMyMFCRibbonBar& r = ribbon();
    const QString name = r.activeCategoryName();
    if (!isInputCategoryName(name) && !isOutputCategoryName(name)) return;
    r.setPanelName(r.activeCategory(), kPitchPanel,
                   pitchCaptionRefresh(app_.languageIndex(),
                                       app_.device().store.params.getInt(w::musicPitch)));
}

void RibbonPresenter::refreshUnitChooser(CMFCMyRibbonStatusBar& status) {
    QPushButton* chooser = status.unitChooser();
    const ConnectionController& c = app_.connection();
    const std::vector<UnitListing>& units = c.units();
    const int lang = app_.languageIndex();
    const int open = c.openUnitIndex();
    const bool connected = app_.isConnected();
    // Shown while several units are attached, or one that is not open and
    // was not refused (the open unit left, or was let go).
    const int count = static_cast<int>(units.size());
    const bool shown = count > 1 || (count == 1 && !connected && !c.refused());
    chooser->setVisible(shown);
    if (!shown) return;
    QString name;
    if (open >= 0) {
        const UnitListing& u = units[static_cast<std::size_t>(open)];
        name = QString::fromStdString(u.serial.empty() ? u.path : u.serial);
    }
    chooser->setText(unitChooserText(open + 1, count, name, lang));
    // No switch while a unit is being read, written or asked about.
    const bool busy = c.syncing() || c.switching() || c.waitingForChoice();
    chooser->setEnabled(!busy);

    // The menu, rebuilt when the list, the open unit or the language changed.
    QString key = QString::number(lang) + QLatin1Char('|') + QString::number(open);
    for (const UnitListing& u : units)
        key += QLatin1Char('|') + QString::fromStdString(u.path + "\t" + u.serial);
    if (key == unitMenuKey_) return;
    unitMenuKey_ = key;
    QMenu* menu = chooser->menu();
    menu->clear();
    for (int i = 0; i < count; ++i) {
        const UnitListing& u = units[static_cast<std::size_t>(i)];
        QAction* action = menu->addAction(unitMenuText(i + 1, QString::fromStdString(u.serial),
                                                       QString::fromStdString(u.path), lang));
        action->setCheckable(true);
        action->setChecked(i == open);
        const std::string path = u.path;
        connect(action, &QAction::triggered, this, [this, path] {
            app_.connection().switchTo(path);
            updateCommandUI();
        });
    }
}

void RibbonPresenter::updateCommandUI() {
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
        CEditorPage* page = currentPage_ ? currentPage_() : nullptr;
        const bool eqPage = page && page->hasEq();
        status->bypassCheck()->setText(pick(lang, "均衡旁路", "Bypass"));
        status->bypassCheck()->setEnabled(eqPage);
        status->bypassCheck()->setChecked(eqPage && page->IsEqBypassed());
        status->resetButton()->setText(pick(lang, "重置均衡", "Reset EQ"));
        status->resetButton()->setEnabled(eqPage);
        refreshUnitChooser(*status);
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
    // The dialogs of F6 and F7 work on a unit.
    r.setElementEnabled(id::kNoiseGate, connected);
    r.setElementEnabled(id::kMachineSettings, connected);

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

}  // namespace v36
