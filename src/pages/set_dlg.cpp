#include "pages/set_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <algorithm>

#include "app/edit_path.h"
#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "controls/image_button.h"
#include "pages/tool_dialog_parts.h"
#include "protocol/report.h"
#include "protocol/words.h"

namespace v36 {

namespace {

// Bytes of the machine-settings record.
constexpr std::size_t kHdmiSaveByMode = 1;
constexpr std::size_t kSourceSaveByMode = 2;
constexpr std::size_t kPanelLockByte = 7;
constexpr std::size_t kLockFlags = 8;
constexpr std::size_t kPowerOnModeByte = 11;

// A start volume of 255: the unit keeps the volume it had.
constexpr std::uint8_t kStartUnused = 255;
// Lock flags: bits 0, 1 and 7 lock the volumes, bit 4 the modes.
constexpr std::uint8_t kVolumeLockBits = 0x83;
constexpr std::uint8_t kModeLockBit = 0x10;

constexpr int kSliderWidth = 200;
// The width of the wrapped texts of the right column.
constexpr int kWrapWidth = 250;
constexpr int kNoticeMs = 1500;

// Command 145 with the 12 bytes of the record.
void sendMachineSettings(Senders& senders, const CSetDlg::Settings& s) {
    std::array<int, 1 + kMachineSettingsSize> command{};
    command[0] = cmd::kWriteSettings;
    std::copy(s.begin(), s.end(), command.begin() + 1);
    senders.sendCommand(command);
}

EditText startText(std::size_t byte) {
    return byte == settings::kMicStartVolume ? EditText{"话筒开机音量", "Mic start vol"}
                                             : EditText{"音乐开机音量", "Music start vol"};
}

QGroupBox* groupBox(QWidget* parent, int id) {
    auto* box = new QGroupBox(parent);
    setControlId(box, id);
    return box;
}

QCheckBox* checkBoxWithId(QWidget* parent, int id) {
    auto* box = new QCheckBox(parent);
    setControlId(box, id);
    return box;
}

// A bold heading inside a group with the range of its sliders beside it.
QHBoxLayout* heading(QWidget* parent, int id, int rangeId) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    QLabel* title = staticText(parent, id);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    QLabel* range = staticText(parent, rangeId);
    QPalette palette = range->palette();
    palette.setColor(QPalette::WindowText, QColor(0x60, 0x60, 0x60));
    range->setPalette(palette);
    row->addWidget(title);
    row->addWidget(range);
    row->addStretch(1);
    return row;
}

}  // namespace

CSetDlg::CSetDlg(CAppServices& app, QWidget* parent)
    : CToolDialog(ToolDialog::MachineSettings, app, parent) {
    setWindowTitle(pick(app.languageIndex(), "机器设置", "Host Setting"));
    // Edits made and not applied while the dialog was away are dropped:
    // the dialog shows the record it sends.
    ParamStore& store = app_.device().store;
    store.settingsEdit.assign(store.settingsApplied.snapshot());
    build();
    RefreshFromStore();
    ApplyLanguage();
}

// --- Layout ---------------------------------------------------------------------

void CSetDlg::build() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(12);
    auto* left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(buildVolumes());
    left->addWidget(buildSavePolicies());
    left->addWidget(buildPowerOn());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    right->addWidget(buildLocks());
    right->addWidget(buildPhases());
    right->addWidget(buildModeReset());
    right->addStretch(1);
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);
    layout->addLayout(columns);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    apply_ = actionButton(this, kApply);
    cancel_ = actionButton(this, kCancel);
    buttons->addWidget(apply_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    connect(apply_, &QAbstractButton::clicked, this, &CSetDlg::onApply);
    connect(cancel_, &QAbstractButton::clicked, this, &CSetDlg::reject);
}

QWidget* CSetDlg::buildVolumes() {
    // Start volumes above, their maximums below, in one grid so that the
    // sliders line up.
    QGroupBox* box = groupBox(this, 1184);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);

    struct Ids {
        std::size_t byteStart, byteMax;
        int word, startSlider, maxSlider, startValue, maxValue, startCaption, maxCaption, enable;
    };
    const std::array<Ids, 2> ids{{
        {settings::kMicStartVolume, settings::kMicMaxVolume, w::micVolume, kMicStartSlider,
         kMicMaxSlider, 1145, 1147, 1012, 1022, kMicStartEnable},
        {settings::kMusicStartVolume, settings::kMusicMaxVolume, w::musicVolume, kMusicStartSlider,
         kMusicMaxSlider, 1146, 1150, 1013, 1023, kMusicStartEnable},
    }};
    constexpr int kStartRow = 1;
    constexpr int kMaxHeadingRow = 3;
    constexpr int kMaxRow = 4;
    grid->addLayout(heading(box, 1005, 1240), 0, 0, 1, 4);
    grid->addLayout(heading(box, 1002, 1238), kMaxHeadingRow, 0, 1, 4);
    const QString widest = QStringLiteral("Invalid");
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const Ids& d = ids.at(i);
        Volume& v = volumes_.at(i);
        v.byteStart = static_cast<int>(d.byteStart);
        v.byteMax = static_cast<int>(d.byteMax);
        v.word = d.word;
        const int row = static_cast<int>(i);

        v.startCaption = staticText(box, d.startCaption);
        v.start = toolSlider(box, d.startSlider, 0, 99, kSliderWidth);
        v.startValue = v36::valueLabel(box, d.startValue, widest);
        v.enable = checkBoxWithId(box, d.enable);
        grid->addWidget(v.startCaption, kStartRow + row, 0);
        grid->addWidget(v.start, kStartRow + row, 1, Qt::AlignVCenter);
        grid->addWidget(v.startValue, kStartRow + row, 2);
        grid->addWidget(v.enable, kStartRow + row, 3);

        v.max = toolSlider(box, d.maxSlider, 1, 99, kSliderWidth);
        v.maxValue = v36::valueLabel(box, d.maxValue, widest);
        grid->addWidget(staticText(box, d.maxCaption), kMaxRow + row, 0);
        grid->addWidget(v.max, kMaxRow + row, 1, Qt::AlignVCenter);
        grid->addWidget(v.maxValue, kMaxRow + row, 2);

        connect(v.start, &CXBmpSlider::sliderChanged, this,
                [this, i](int, int p) { onStartMoved(volumes_.at(i), p); });
        connect(v.max, &CXBmpSlider::sliderChanged, this,
                [this, i](int, int p) { onMaxMoved(volumes_.at(i), p); });
        connect(v.enable, &QCheckBox::clicked, this,
                [this, i](bool on) { onStartEnabled(volumes_.at(i), on); });
    }
    grid->setRowMinimumHeight(kMaxHeadingRow, 34);
    grid->setRowStretch(kMaxHeadingRow, 0);
    grid->setColumnStretch(4, 1);
    return box;
}

QWidget* CSetDlg::buildSavePolicies() {
    QGroupBox* box = groupBox(this, 1201);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(14);
    struct Row {
        int caption, autoSave, withMode;
        std::size_t byte;
    };
    const std::array<Row, 3> rows{{
        {1197, 1190, 1191, settings::kVolumeSaveByMode},
        {1198, 1192, 1195, kHdmiSaveByMode},
        {1199, 1196, 1204, kSourceSaveByMode},
    }};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows.at(i);
        const int row = static_cast<int>(i);
        grid->addWidget(staticText(box, r.caption), row, 0);
        auto* group = new QButtonGroup(box);
        for (int choice = 0; choice < 2; ++choice) {
            auto* radio = new QRadioButton(box);
            setControlId(radio, choice == 0 ? r.autoSave : r.withMode);
            group->addButton(radio, choice);
            grid->addWidget(radio, row, 1 + choice);
        }
        policies_.at(i) = group;
        const std::size_t byte = r.byte;
        connect(group, &QButtonGroup::idClicked, this, [this, byte](int choice) {
            onByteChanged(byte, static_cast<std::uint8_t>(choice));
        });
    }
    grid->setColumnStretch(3, 1);
    return box;
}

QWidget* CSetDlg::buildLocks() {
    QGroupBox* box = groupBox(this, 1068);
    auto* column = new QVBoxLayout(box);
    panelLock_ = checkBoxWithId(box, kPanelLock);
    volumeLock_ = checkBoxWithId(box, kVolumeLock);
    modeLock_ = checkBoxWithId(box, kModeLock);
    column->addWidget(panelLock_);
    for (QCheckBox* b : {volumeLock_, modeLock_}) {
        auto* row = new QHBoxLayout;
        row->addSpacing(22);
        row->addWidget(b);
        row->addStretch(1);
        column->addLayout(row);
    }
    for (QCheckBox* b : {panelLock_, volumeLock_, modeLock_}) {
        const int id = controlId(b);
        connect(b, &QCheckBox::clicked, this, [this, id](bool on) { onLockChanged(id, on); });
    }
    return box;
}

QWidget* CSetDlg::buildPowerOn() {
    QGroupBox* box = groupBox(this, 1200);
    auto* row = new QHBoxLayout(box);
    row->addWidget(staticText(box, 1006));
    powerOn_ = new QComboBox(box);
    setControlId(powerOn_, kPowerOnMode);
    powerOn_->addItems({QStringLiteral("Auto"), QStringLiteral("M1"), QStringLiteral("M2"),
                        QStringLiteral("M3"), QStringLiteral("M4")});
    row->addWidget(powerOn_);
    row->addStretch(1);
    connect(powerOn_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) onByteChanged(kPowerOnModeByte, static_cast<std::uint8_t>(index));
    });
    return box;
}

QWidget* CSetDlg::buildPhases() {
    QGroupBox* box = groupBox(this, 1202);
    auto* column = new QVBoxLayout(box);
    phaseA_ = checkBoxWithId(box, kMicAPhase);
    phaseB_ = checkBoxWithId(box, kMicBPhase);
    column->addWidget(phaseA_);
    column->addWidget(phaseB_);
    connect(phaseA_, &QCheckBox::clicked, this,
            [this](bool on) { onPhaseClicked(w::micAPhase, on); });
    connect(phaseB_, &QCheckBox::clicked, this,
            [this](bool on) { onPhaseClicked(w::micBPhase, on); });
    return box;
}

QWidget* CSetDlg::buildModeReset() {
    QGroupBox* box = groupBox(this, 1148);
    auto* column = new QVBoxLayout(box);
    QLabel* hint = wrappedText(box, 1183, kWrapWidth);
    column->addWidget(hint);
    auto* row = new QHBoxLayout;
    modes_ = new QButtonGroup(box);
    for (int m = 0; m < 4; ++m) {
        auto* button = new QPushButton(QStringLiteral("M%1").arg(m + 1), box);
        setControlId(button, kFirstModeButton + m);
        button->setCheckable(true);
        button->setAutoDefault(false);
        modes_->addButton(button, m);
        row->addWidget(button);
    }
    row->addStretch(1);
    column->addLayout(row);
    QLabel* note = wrappedText(box, 1239, kWrapWidth);
    QPalette palette = note->palette();
    palette.setColor(QPalette::WindowText, QColor(0xC0, 0x20, 0x20));
    note->setPalette(palette);
    column->addWidget(note);
    connect(modes_, &QButtonGroup::idClicked, this, &CSetDlg::onResetMode);
    return box;
}

// --- Access ---------------------------------------------------------------------------

CXBmpSlider* CSetDlg::slider(int id) const {
    for (const Volume& v : volumes_) {
        if (v.start->controlId() == id) return v.start;
        if (v.max->controlId() == id) return v.max;
    }
    return nullptr;
}

QLabel* CSetDlg::valueLabel(int sliderId) const {
    for (const Volume& v : volumes_) {
        if (v.start->controlId() == sliderId) return v.startValue;
        if (v.max->controlId() == sliderId) return v.maxValue;
    }
    return nullptr;
}

QCheckBox* CSetDlg::checkBox(int id) const {
    return qobject_cast<QCheckBox*>(findControl(this, id));
}

QRadioButton* CSetDlg::radio(int id) const {
    return qobject_cast<QRadioButton*>(findControl(this, id));
}

QPushButton* CSetDlg::modeButton(int mode) const {
    return qobject_cast<QPushButton*>(modes_->button(mode));
}

CSetDlg::Settings CSetDlg::record() const {
    return app_.device().store.settingsEdit.snapshot();
}

// --- Showing the record -------------------------------------------------------------

void CSetDlg::showStart(const Volume& v, std::uint8_t byte) {
    const bool used = byte != kStartUnused;
    v.enable->setChecked(used);
    v.start->setPosition(used ? byte : v.start->minimum());
    v.startValue->setText(used ? QString::number(byte)
                               : pick(app_.languageIndex(), "无效", "Invalid"));
    v.start->setEnabled(used);
    v.startCaption->setEnabled(used);
    v.startValue->setEnabled(used);
}

void CSetDlg::showVolumes(const Settings& s) {
    for (Volume& v : volumes_) {
        const std::uint8_t max = s.at(static_cast<std::size_t>(v.byteMax));
        v.max->setPosition(max);
        v.maxValue->setText(QString::number(max));
        // A start volume never goes above its maximum.
        v.start->setRange(0, v.max->position());
        showStart(v, s.at(static_cast<std::size_t>(v.byteStart)));
    }
}

void CSetDlg::RefreshFromStore() {
    QScopedValueRollback<bool> guard(refreshing_, true);
    const ParamStore& store = app_.device().store;
    const Settings s = record();
    showVolumes(s);
    const bool panel = s.at(kPanelLockByte) != 0;
    panelLock_->setChecked(panel);
    volumeLock_->setChecked((s.at(kLockFlags) & 0x01) != 0);
    modeLock_->setChecked((s.at(kLockFlags) & kModeLockBit) != 0);
    volumeLock_->setEnabled(panel);
    modeLock_->setEnabled(panel);
    powerOn_->setCurrentIndex(std::min<int>(s.at(kPowerOnModeByte), powerOn_->count() - 1));
    const std::array<std::size_t, 3> policyBytes{settings::kVolumeSaveByMode, kHdmiSaveByMode,
                                                 kSourceSaveByMode};
    for (std::size_t i = 0; i < policyBytes.size(); ++i)
        policies_.at(i)->button(s.at(policyBytes.at(i)) != 0 ? 1 : 0)->setChecked(true);
    phaseA_->setChecked(store.params.getInt(w::micAPhase) == 0);
    phaseB_->setChecked(store.params.getInt(w::micBPhase) == 0);
    const int mode = store.currentMode.load();
    if (QAbstractButton* b = modes_->button(std::clamp(mode, 0, 3))) b->setChecked(true);
}

void CSetDlg::ApplyLanguage() {
    CToolDialog::ApplyLanguage();
    // "Invalid" follows the language.
    QScopedValueRollback<bool> guard(refreshing_, true);
    const Settings s = record();
    for (const Volume& v : volumes_)
        showStart(v, s.at(static_cast<std::size_t>(v.byteStart)));
}

// --- Edits --------------------------------------------------------------------------------

void CSetDlg::apply(Edit edit) {
    app_.edits().apply(std::move(edit));
}

void CSetDlg::onStartMoved(Volume& v, int position) {
    if (refreshing_) return;
    Settings s = record();
    s.at(static_cast<std::size_t>(v.byteStart)) = static_cast<std::uint8_t>(position);
    v.startValue->setText(QString::number(position));
    // The unit plays the new start volume at once.
    apply(Edit(startText(static_cast<std::size_t>(v.byteStart)))
              .merging("settings:" + std::to_string(v.byteStart))
              .settingsEdit(s)
              .wordInt(v.word, position));
}

void CSetDlg::onMaxMoved(Volume& v, int position) {
    if (refreshing_) return;
    Settings s = record();
    const auto byteStart = static_cast<std::size_t>(v.byteStart);
    s.at(static_cast<std::size_t>(v.byteMax)) = static_cast<std::uint8_t>(position);
    v.maxValue->setText(QString::number(position));
    v.start->setRange(0, position);
    Edit edit(v.word == w::micVolume ? EditText{"话筒最大音量", "Mic max vol"}
                                     : EditText{"音乐最大音量", "Music max vol"});
    edit.merging("settings:" + std::to_string(v.byteMax));
    if (s.at(byteStart) == kStartUnused) {
        apply(std::move(edit.settingsEdit(s)));
        return;
    }
    // A start volume above the new maximum follows it down and plays at
    // once; otherwise the volume word stays as it is (the step keeps the
    // same shape through the whole drag).
    const bool follows = s.at(byteStart) > position;
    if (follows) {
        s.at(byteStart) = static_cast<std::uint8_t>(position);
        showStart(v, s.at(byteStart));
    }
    const int volume = follows ? position : app_.device().store.params.getInt(v.word);
    apply(std::move(edit.settingsEdit(s).wordInt(v.word, volume, follows)));
}

void CSetDlg::onStartEnabled(Volume& v, bool on) {
    if (refreshing_) return;
    Settings s = record();
    const auto byteStart = static_cast<std::size_t>(v.byteStart);
    if (on) {
        // The volume playing now, within the slider's limits.
        const int volume = app_.device().store.params.getInt(v.word);
        s.at(byteStart) =
            static_cast<std::uint8_t>(std::clamp(volume, v.start->minimum(), v.start->maximum()));
    } else {
        s.at(byteStart) = kStartUnused;
    }
    showStart(v, s.at(byteStart));
    apply(Edit(startText(byteStart)).settingsEdit(s));
}

void CSetDlg::onByteChanged(std::size_t byte, std::uint8_t value) {
    if (refreshing_) return;
    Settings s = record();
    s.at(byte) = value;
    Edit edit(byte == kPowerOnModeByte ? EditText{"机器开机指定模式", "Power-on mode"}
                                       : EditText{"保存方式", "Save policy"});
    apply(std::move(edit.settingsEdit(s)));
}

void CSetDlg::onLockChanged(int id, bool on) {
    if (refreshing_) return;
    Settings s = record();
    std::uint8_t& flags = s.at(kLockFlags);
    EditText text;
    switch (id) {
        case kPanelLock:
            s.at(kPanelLockByte) = on ? 1 : 0;
            volumeLock_->setEnabled(on);
            modeLock_->setEnabled(on);
            text = {"锁定面板", "Lock panel"};
            break;
        case kVolumeLock:
            flags = on ? static_cast<std::uint8_t>(flags | kVolumeLockBits)
                       : static_cast<std::uint8_t>(flags & ~kVolumeLockBits);
            text = {"锁定音量", "Lock volume"};
            break;
        default:
            flags = on ? static_cast<std::uint8_t>(flags | kModeLockBit)
                       : static_cast<std::uint8_t>(flags & ~kModeLockBit);
            text = {"锁定模式", "Lock mode"};
            break;
    }
    apply(Edit(text).settingsEdit(s));
}

void CSetDlg::onPhaseClicked(int word, bool inverted) {
    if (refreshing_) return;
    // Not part of the record: the unit takes the phase at once.
    apply(wordEdit(app_.device().store, word, inverted ? 0 : 1));
}

// --- Actions of the unit --------------------------------------------------------------

void CSetDlg::onApply() {
    ParamStore& store = app_.device().store;
    const Settings s = record();
    store.settingsApplied.assign(s);
    app_.postWrite([s](Senders& senders) { sendMachineSettings(senders, s); });
    const int lang = app_.languageIndex();
    // Without a unit the record stays in the program; the notice must not
    // claim the unit took it.
    app_.ShowInfo(app_.isConnected() ? pick(lang, "机器设置已生效!", "Setting valid")
                                     : pick(lang, "未连接机器，设置未发送到机器!",
                                            "No device connected: the setting was not sent!"),
                  kNoticeMs);
}

void CSetDlg::onResetMode(int mode) {
    ParamStore& store = app_.device().store;
    if (!app_.isConnected()) {
        // Nothing happens without a unit; the buttons keep showing the mode.
        QScopedValueRollback<bool> guard(refreshing_, true);
        if (QAbstractButton* b = modes_->button(std::clamp(store.currentMode.load(), 0, 3)))
            b->setChecked(true);
        return;
    }
    store.currentMode.store(mode);
    // The unit restores the mode's factory content; the store follows it.
    app_.postWrite([mode](Senders& senders) { senders.sendCommand({cmd::kResetMode, mode}); });
    app_.startPullWithDialog();
}

void CSetDlg::discardEdits() {
    if (discarded_) return;
    discarded_ = true;
    ParamStore& store = app_.device().store;
    store.settingsEdit.assign(store.settingsApplied.snapshot());
}

void CSetDlg::closeEvent(QCloseEvent* event) {
    discardEdits();
    CToolDialog::closeEvent(event);
}

void CSetDlg::reject() {
    discardEdits();
    CToolDialog::reject();
}

}  // namespace v36
