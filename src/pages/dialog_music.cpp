#include "pages/dialog_music.h"

#include <QBoxLayout>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "controls/eq_panel.h"
#include "controls/grid_list.h"
#include "controls/image_button.h"
#include "controls/peak_meter.h"
#include "controls/pictures.h"
#include "controls/small_eq_panel.h"
#include "pages/eq_editor.h"
#include "pages/page_support.h"
#include "protocol/controls.h"
#include "protocol/edit.h"
#include "protocol/eq_access.h"
#include "protocol/report.h"
#include "protocol/words.h"

namespace v36 {

namespace {

// ---- the effect parameter rows ----

enum class RowKind { Level, Predelay, ReverbTime, EchoTime, Shift };

struct EffectRow {
    const char* zh;
    const char* en;
    RowKind kind;
    int wordA;  // the first word of a predelay's two halves
    int wordB;
};

constexpr std::array<EffectRow, CDialogMusic::kEffectRows> kRows{{
    {"混响电平", "Reverb Level", RowKind::Level, w::reverbAParam15, w::reverbBParam21},
    {"混响预延时", "Reverb Predelay", RowKind::Predelay, w::reverbATime, w::reverbBTime},
    {"混响时长", "Reverb Time", RowKind::ReverbTime, w::reverbAParam18, w::reverbBParam24},
    {"回声电平", "Echo Level", RowKind::Level, w::echoAParam15, w::echoBParam22},
    {"回声预延时", "Echo Predelay", RowKind::Predelay, w::echoATime, w::echoBTime},
    {"回声间隔", "Echo Time", RowKind::EchoTime, w::echoATime + 2, w::echoBTime + 2},
    {"回声起始音量", "Echo Start Vol", RowKind::Level, w::echoAParam19, w::echoBParam26},
    {"回声衰减比例", "Echo Vol Decay", RowKind::Level, w::echoAParam20, w::echoBParam27},
    {"话筒移频", "Shift Frequency", RowKind::Shift, w::micAFreq, w::micBFreq},
}};
constexpr int kReverbLevelRow = 0;
constexpr int kEchoLevelRow = 3;

// The slider's range of a row: the control's, a predelay's as the sum of
// its two taps.
std::pair<int, int> rowRange(const EffectRow& r) {
    const ControlInfo& c = controlInfo(r.wordA);
    const double scale = r.kind == RowKind::Predelay ? 2.0 : 1.0;
    return {static_cast<int>(std::lround(c.lo * scale)),
            static_cast<int>(std::lround(c.hi * scale))};
}

// ---- colours that tell the input EQs apart ----

const QColor kSkyBlue(0, 200, 255);
const QColor kGreen(0, 220, 0);
const QColor kOrange(255, 200, 0);
const QColor kGrey(100, 100, 100);
const QColor kGridBackground(20, 20, 20);
const QColor kListBackground(30, 30, 25);
const QColor kPortTitle(0, 0, 238);
const QColor kCurveCaption(240, 0, 0);

// ---- ids of the ports ----

constexpr int kFirstGateSlider = 1052;
constexpr int kFirstLevelSlider = 1056;
constexpr int kFirstPortLabel = 1152;  // gate labels 1152, 1154, ...; levels 1160, ...
constexpr int kFirstPortTitle = 1185;
constexpr int kFirstRouteButton = 1190;  // CH A, CH B of port 1, then port 2, ...
constexpr int kFirstMeter = 1168;        // music L, R, then ports 1..4

// liveStatus bytes: ports 1..4 in 0..3, music left and right in 4 and 5,
// flags in 7.
constexpr int kStatusFlags = 7;
constexpr int kFlagDolby = 0x01;
constexpr int kFlagDts = 0x02;
constexpr int kFlagLpcm = 0x04;
constexpr int kFlagBluetooth = 0x10;
constexpr int kFlagPaired = 0x20;

QLabel* caption(QWidget* parent, int id, const QString& text) {
    auto* label = new QLabel(text, parent);
    if (id != 0) setControlId(label, id);
    return label;
}

void setTextColour(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    w->setPalette(p);
}

int gateSliderId(int port) {
    return kFirstGateSlider + port;
}
int levelSliderId(int port) {
    return kFirstLevelSlider + port;
}

}  // namespace

// ---------------------------------------------------------------------------
// CStatePicture

CStatePicture::CStatePicture(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setFixedSize(sizeHint());
}

void CStatePicture::setOn(bool on) {
    if (on == on_) return;
    on_ = on;
    update();
}

void CStatePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = QRectF(rect()).adjusted(1.0, 1.0, -1.0, -1.0);
    const QColor fill = on_ ? (kind_ == Kind::Bluetooth ? QColor(0, 110, 220) : QColor(20, 170, 60))
                            : QColor(190, 195, 200);
    p.setPen(QPen(fill.darker(130), 1.0));
    p.setBrush(fill);
    p.drawEllipse(r);
    QPen mark(on_ ? Qt::white : QColor(120, 125, 130), 1.8);
    mark.setCapStyle(Qt::RoundCap);
    mark.setJoinStyle(Qt::RoundJoin);
    p.setPen(mark);
    p.setBrush(Qt::NoBrush);
    const double cx = r.center().x();
    const double cy = r.center().y();
    const double s = r.height() / 24.0;
    if (kind_ == Kind::Bluetooth) {
        // The rune: a vertical stem with two arrowheads to the right.
        QPainterPath rune;
        rune.moveTo(cx - 5 * s, cy - 4.5 * s);
        rune.lineTo(cx + 4.5 * s, cy + 4.5 * s);
        rune.lineTo(cx, cy + 9 * s);
        rune.lineTo(cx, cy - 9 * s);
        rune.lineTo(cx + 4.5 * s, cy - 4.5 * s);
        rune.lineTo(cx - 5 * s, cy + 4.5 * s);
        p.drawPath(rune);
    } else {
        // Two microphones leaning together.
        for (const double side : {-1.0, 1.0}) {
            const QPointF head(cx + side * 4.5 * s, cy - 4.0 * s);
            p.drawEllipse(head, 3.0 * s, 3.0 * s);
            p.drawLine(head + QPointF(-side * 1.5 * s, 3.0 * s), QPointF(cx, cy + 8.0 * s));
        }
    }
}

// ---------------------------------------------------------------------------
// Building

CDialogMusic::CDialogMusic(CAppServices& app, QWidget* parent)
    : CEditorPage(PageKind::Music, app, parent) {
    loading_ = true;
    editor_ = new CEqEditor(app, this);

    auto* eqGroup = new QGroupBox(this);
    setControlId(eqGroup, 1184);
    auto* eqLayout = new QVBoxLayout(eqGroup);
    eqLayout->setContentsMargins(6, 4, 6, 6);
    eqLayout->addWidget(editor_);

    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(buildPorts());
    left->addWidget(buildLevels());
    left->addWidget(buildStatus());
    left->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(buildEffects());
    top->addWidget(buildSelectors(), 0, Qt::AlignTop);
    top->addStretch(1);

    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addLayout(top);
    right->addWidget(eqGroup, 1);

    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->setSpacing(8);
    page->addLayout(left);
    page->addLayout(right, 1);

    wheel_ = new CWheelToFocus(
        this, [this](QWidget* focus, QWheelEvent* event) { return routeWheel(focus, event); });
    connect(&statusTimer_, &QTimer::timeout, this, &CDialogMusic::updateStatus);
    statusTimer_.start(kStatusMs);
    loading_ = false;
    ApplyLanguage();
}

QWidget* CDialogMusic::buildPorts() {
    auto* group = new QGroupBox(this);
    setControlId(group, 1182);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(6, 4, 6, 6);
    column->setSpacing(8);
    const int lang = app_.languageIndex();
    for (int port = 0; port < kPorts; ++port) {
        auto* box = new QWidget(group);
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(3);
        QLabel* title = caption(box, kFirstPortTitle + port,
                                pick(lang, "话筒口", "Mic ") + QString::number(port + 1));
        setTextColour(title, kPortTitle);
        grid->addWidget(title, 0, 0);
        auto* routes = new QWidget(box);
        auto* routeRow = new QHBoxLayout(routes);
        routeRow->setContentsMargins(0, 0, 0, 0);
        for (int k = 0; k < 2; ++k) {
            const int id = kFirstRouteButton + 2 * port + k;
            auto* b =
                new QRadioButton(k == 0 ? QStringLiteral("CH A") : QStringLiteral("CH B"), routes);
            setControlId(b, id);
            routeButtons_[static_cast<std::size_t>(2 * port + k)] = b;
            routeRow->addWidget(b);
            connect(b, &QRadioButton::clicked, this, [this, port, k] { setRoute(port, k == 0); });
        }
        routeRow->addStretch(1);
        grid->addWidget(routes, 0, 1, 1, 2);
        for (int k = 0; k < 2; ++k) {
            const int sliderId = k == 0 ? gateSliderId(port) : levelSliderId(port);
            const int labelId = kFirstPortLabel + 2 * port + 8 * k;
            grid->addWidget(
                caption(box, labelId + 1,
                        k == 0 ? pick(lang, "噪声门", "MNG") : pick(lang, "音量", "Vol")),
                1 + k, 0);
            auto* slider = new CXBmpSlider(box);
            slider->setControlId(sliderId);
            setControlId(slider, sliderId);
            slider->setBackgroundColor(Qt::transparent);  // the group box shows through
            slider->setRange(0, 100);
            connect(slider, &CXBmpSlider::sliderChanged, this, &CDialogMusic::onPortSlider);
            grid->addWidget(slider, 1 + k, 1);
            auto* value = caption(box, labelId, QStringLiteral("0"));
            value->setMinimumWidth(
                QFontMetrics(value->font()).horizontalAdvance(QStringLiteral("100")) + 4);
            grid->addWidget(value, 1 + k, 2);
            portSliders_[static_cast<std::size_t>(port + kPorts * k)] = slider;
            portLabels_[static_cast<std::size_t>(port + kPorts * k)] = value;
        }
        auto* meter = new CPeakMeterCtrl(box);
        setControlId(meter, kFirstMeter + 2 + port);
        meter->setFixedHeight(10);
        grid->addWidget(meter, 3, 0, 1, 3);
        meters_[static_cast<std::size_t>(2 + port)] = meter;
        grid->setColumnStretch(2, 1);
        ports_[static_cast<std::size_t>(port)] = box;
        column->addWidget(box);
        // Ports 3 and 4 exist but are not shown.
        if (port >= 2) box->hide();
    }
    return group;
}

QWidget* CDialogMusic::buildLevels() {
    auto* group = new QGroupBox(this);
    setControlId(group, 1142);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setVerticalSpacing(4);
    for (int k = 0; k < 2; ++k) {
        grid->addWidget(new QLabel(k == 0 ? QStringLiteral("L") : QStringLiteral("R"), group), k,
                        0);
        auto* meter = new CPeakMeterCtrl(group);
        setControlId(meter, kFirstMeter + k);
        meter->setFixedHeight(10);
        grid->addWidget(meter, k, 1);
        meters_[static_cast<std::size_t>(k)] = meter;
    }
    grid->setColumnStretch(1, 1);
    for (CPeakMeterCtrl* meter : meters_) {
        // One bar of 15 LEDs falling every 35 ms until the unit reports.
        meter->setBandCount(1);
        meter->setLedCount(15);
        meter->startReleaseTimer(35);
        meter->setMeterStyle(CPeakMeterCtrl::kHorizontal);
        meter->setBackgroundColor(QColor::fromRgb(kPageBackground));
        meter->setPeakLine(false);
    }
    return group;
}

QWidget* CDialogMusic::buildStatus() {
    auto* group = new QGroupBox(this);
    setControlId(group, 1147);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 4, 6, 6);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    bluetooth_ = new CStatePicture(CStatePicture::Kind::Bluetooth, group);
    setControlId(bluetooth_, kBluetooth);
    pairing_ = new CStatePicture(CStatePicture::Kind::MicPair, group);
    setControlId(pairing_, kPairing);
    grid->addWidget(bluetooth_, 0, 0);
    grid->addWidget(caption(group, 1220, QStringLiteral("BlueTooth")), 0, 1);
    grid->addWidget(pairing_, 1, 0);
    grid->addWidget(caption(group, 1221, QStringLiteral("Mic Pair")), 1, 1);
    grid->addWidget(caption(group, 1222, QStringLiteral("Audio Format")), 2, 0, 1, 2);
    format_ = caption(group, kFormat, QStringLiteral("Stereo"));
    QFont bold = format_->font();
    bold.setBold(true);
    format_->setFont(bold);
    grid->addWidget(format_, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    return group;
}

QWidget* CDialogMusic::buildSelectors() {
    auto* box = new QWidget(this);
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(6);
    const struct {
        int id;
        int eq;
        const char* zh;
        const char* en;
    } selectors[] = {{kMicChannelA, kEqMicA, "话筒通道A", "Mic CH A"},
                     {kMicChannelB, kEqMicB, "话筒通道B", "Mic CH B"},
                     {kMusic, kEqMusic, "音乐", "Music"},
                     {kMicPair, -1, "话筒配对", "Mic Pair"}};
    for (std::size_t i = 0; i < selectors_.size(); ++i) {
        auto* b = new CGdipButton(box);
        b->setControlId(selectors[i].id);
        setControlId(b, selectors[i].id);
        b->loadStandard(picture::kNavButton);
        b->loadAlternate(picture::kNavButtonSelected);
        b->setCaption(pick(app_.languageIndex(), selectors[i].zh, selectors[i].en));
        b->setMinimumWidth(120);
        b->setMaximumWidth(b->sizeHint().width());
        b->setFixedHeight(b->sizeHint().height());
        const int eq = selectors[i].eq;
        if (eq >= 0) {
            connect(b, &CGdipButton::clicked, this, [this, eq] { selectInput(eq); });
        } else {
            // Pairing is an action of the unit, not an edit.
            connect(b, &CGdipButton::clicked, this, [this] {
                app_.postWrite([](Senders& s) { s.sendCommand({cmd::kMicPair, 1, -1}); });
            });
            b->hide();
        }
        selectors_[i] = b;
        column->addWidget(b);
    }
    return box;
}

void CDialogMusic::buildParamList() {
    const int lang = app_.languageIndex();
    QStringList names{pick(lang, "参数名", "Parameter name")};
    for (const EffectRow& row : kRows)
        names << pick(lang, row.zh, row.en);
    list_->setColumns(
        {{QStringLiteral(" "), 50, CGridListCtrl::ColumnKind::ReadOnly, {}},
         {names.front(),
          fitColumnWidth(list_, 130, names),
          CGridListCtrl::ColumnKind::ReadOnly,
          {}},
         {pick(lang, "参数值", "Value"),
          fitColumnWidth(list_, 80, {pick(lang, "参数值", "Value"), QStringLiteral("5000ms")}),
          CGridListCtrl::ColumnKind::ReadOnly,
          {}}});
    int width = 2 * list_->frameWidth();
    for (int c = 1; c < list_->columnCount(); ++c)
        width += list_->columnWidth(c);
    list_->setFixedWidth(width);
    list_->setRows(kEffectRows);
    for (int r = 0; r < kEffectRows; ++r) {
        list_->setCellText(r, 1, QString::number(r + 1));
        const EffectRow& row = kRows[static_cast<std::size_t>(r)];
        list_->setCellText(r, 2, pick(lang, row.zh, row.en));
    }
}

QWidget* CDialogMusic::buildEffects() {
    auto* group = new QGroupBox(this);
    setControlId(group, 1183);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(6, 4, 6, 6);
    row->setSpacing(8);

    list_ = new CGridListCtrl(group);
    list_->setControlId(kParamList);
    setControlId(list_, kParamList);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setAllRowColors(kSkyBlue, kListBackground);
    buildParamList();
    list_->setFixedHeight(list_->horizontalHeader()->sizeHint().height() +
                          kEffectRows * list_->verticalHeader()->defaultSectionSize() +
                          2 * list_->frameWidth());
    list_->installEventFilter(this);
    connect(list_, &QTableWidget::currentCellChanged, this, [this](int r, int, int, int) {
        if (!loading_ && r >= 0) selectRow(r);
    });
    row->addWidget(list_, 0, Qt::AlignTop);

    valueColumn_ = new QWidget(group);
    auto* value = new QVBoxLayout(valueColumn_);
    value->setContentsMargins(0, 0, 0, 0);
    value->setSpacing(4);
    rowName_ = caption(valueColumn_, kRowName, QString());
    rowName_->setAlignment(Qt::AlignHCenter);
    rowName_->setWordWrap(true);
    value->addWidget(rowName_);
    auto* slider = new CSliderColumn(kValueSlider, valueColumn_);
    connect(slider->slider(), &CXBmpSlider::sliderChanged, this, [this](int, int position) {
        if (!loading_) applyRowValue(position);
    });
    value->addWidget(slider, 1, Qt::AlignHCenter);
    valueEdit_ = new QLineEdit(valueColumn_);
    setControlId(valueEdit_, kValueEdit);
    valueEdit_->setReadOnly(true);
    valueEdit_->setFixedWidth(70);
    valueEdit_->setAlignment(Qt::AlignCenter);
    value->addWidget(valueEdit_, 0, Qt::AlignHCenter);
    valueColumn_->setFixedWidth(96);
    row->addWidget(valueColumn_);

    auto* curves = new QVBoxLayout;
    curves->setSpacing(2);
    const struct {
        int caption, hint, curve;
        const char* zh;
        const char* en;
        const char* hintZh;
        const char* hintEn;
        CSmallEqPanel** out;
    } kinds[] = {{1132, 1146, kReverbCurve, "混响均衡", "Reverb EQ",
                  "点击下面方框进入混响均衡调节界面", "Click to enter reverb EQ", &reverbCurve_},
                 {1145, 1189, kEchoCurve, "回声均衡", "Echo EQ", "点击下面方框进入回声均衡调节界面",
                  "Click to enter echo EQ", &echoCurve_}};
    const int lang = app_.languageIndex();
    for (const auto& k : kinds) {
        QLabel* title = caption(group, k.caption, pick(lang, k.zh, k.en));
        setTextColour(title, kCurveCaption);
        curves->addWidget(title);
        QLabel* hint = caption(group, k.hint, pick(lang, k.hintZh, k.hintEn));
        QFont small = hint->font();
        small.setPixelSize(11);
        hint->setFont(small);
        curves->addWidget(hint);
        auto* curve = new CSmallEqPanel(group);
        setControlId(curve, k.curve);
        curve->setMinimumSize(176, 52);
        curve->setMaximumWidth(360);
        curve->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        curve->setCursor(Qt::PointingHandCursor);
        const bool reverb = k.curve == kReverbCurve;
        connect(curve, &CSmallEqPanel::clicked, this, [this, reverb] {
            const int sel = selection();
            if (sel == 0) return;
            const bool a = sel == kEqMicA;
            app_.ShowPage(PageKind::Effects,
                          reverb ? (a ? kEqReverbA : kEqReverbB) : (a ? kEqEchoA : kEqEchoB));
        });
        curves->addWidget(curve, 1);
        *k.out = curve;
    }
    row->addLayout(curves);
    return group;
}

// ---------------------------------------------------------------------------
// Parts

CXBmpSlider* CDialogMusic::valueSlider() const {
    return static_cast<CSliderColumn*>(valueColumn_->findChild<CSliderColumn*>())->slider();
}

CXBmpSlider* CDialogMusic::portSlider(int controlId) const {
    const int i = controlId - kFirstGateSlider;
    if (i < 0 || i >= 2 * kPorts) return nullptr;
    return portSliders_[static_cast<std::size_t>(i)];
}

QRadioButton* CDialogMusic::portButton(int controlId) const {
    const int i = controlId - kFirstRouteButton;
    if (i < 0 || i >= 2 * kPorts) return nullptr;
    return routeButtons_[static_cast<std::size_t>(i)];
}

QLabel* CDialogMusic::portLabel(int controlId) const {
    const int i = controlId - kFirstPortLabel;
    if (i < 0 || i >= 4 * kPorts || i % 2 != 0) return nullptr;
    const int k = i / 8;  // gates, then levels
    const int port = (i % 8) / 2;
    return portLabels_[static_cast<std::size_t>(port + kPorts * k)];
}

CPeakMeterCtrl* CDialogMusic::meter(int controlId) const {
    const int i = controlId - kFirstMeter;
    if (i < 0 || i >= static_cast<int>(meters_.size())) return nullptr;
    return meters_[static_cast<std::size_t>(i)];
}

CGdipButton* CDialogMusic::selectorButton(int controlId) const {
    const int i = controlId - kMicChannelA;
    if (i < 0 || i >= static_cast<int>(selectors_.size())) return nullptr;
    return selectors_[static_cast<std::size_t>(i)];
}

int CDialogMusic::selection() const {
    const int s = app_.inputEqSelection();
    return s == kEqMusic || s == kEqMicB ? s : kEqMicA;
}

// ---------------------------------------------------------------------------
// Host operations

void CDialogMusic::ApplyLanguage() {
    loading_ = true;
    app_.ApplyDialogTexts(this, kTemplate);
    buildParamList();
    editor_->ApplyLanguage();
    loading_ = false;
    RefreshFromStore();
    const EffectRow& row = kRows[static_cast<std::size_t>(row_)];
    rowName_->setText(pick(app_.languageIndex(), row.zh, row.en));
}

void CDialogMusic::RefreshFromStore() {
    loading_ = true;
    refreshPorts();
    const int sel = selection();
    for (int i = 0; i < 3; ++i) {
        static constexpr std::array<int, 3> kEqOf{kEqMicA, kEqMicB, kEqMusic};
        selectors_[static_cast<std::size_t>(i)]->setAlternate(kEqOf[static_cast<std::size_t>(i)] ==
                                                              sel);
    }
    const bool effects = effectsEnabled();
    list_->setEnabled(effects);
    valueColumn_->setEnabled(effects);
    reverbCurve_->setEnabled(effects);
    echoCurve_->setEnabled(effects);

    EqGridStyle style;
    style.rowText = sel == kEqMusic ? kOrange : sel == kEqMicA ? kSkyBlue : kGreen;
    style.rowBackground = kGridBackground;
    editor_->setGridStyle(style);
    editor_->selectEq(sel);

    refreshParams();
    refreshCurves();
    loading_ = false;
}

void CDialogMusic::refreshPorts() {
    const ParamBlock& p = app_.device().store.params;
    for (int port = 0; port < kPorts; ++port) {
        const bool a = p.getInt(w::micRouteA + port) != 0;
        routeButtons_[static_cast<std::size_t>(2 * port)]->setChecked(a);
        routeButtons_[static_cast<std::size_t>(2 * port + 1)]->setChecked(!a);
        for (int k = 0; k < 2; ++k) {
            const int word = (k == 0 ? w::micGateThreshold : w::micLevel) + port;
            const int v = std::clamp(p.getInt(word), 0, 100);
            const auto i = static_cast<std::size_t>(port + kPorts * k);
            portSliders_[i]->setPosition(v);
            portLabels_[i]->setText(QString::number(v));
        }
    }
}

int CDialogMusic::rowValue(int row) const {
    const EffectRow& r = kRows[static_cast<std::size_t>(row)];
    const ParamBlock& p = app_.device().store.params;
    const int word = channelB() ? r.wordB : r.wordA;
    switch (r.kind) {
        case RowKind::Level:
        case RowKind::Shift:
            return p.getInt(word);
        case RowKind::Predelay:
            return static_cast<int>(p.getFloat(word) + p.getFloat(word + 1));
        case RowKind::ReverbTime:
        case RowKind::EchoTime:
            return static_cast<int>(p.getFloat(word));
    }
    return 0;
}

QString CDialogMusic::rowText(int row) const {
    const EffectRow& r = kRows[static_cast<std::size_t>(row)];
    const int v = rowValue(row);
    switch (r.kind) {
        case RowKind::Level:
            return QStringLiteral("%1%").arg(v);
        case RowKind::Predelay:
        case RowKind::EchoTime:
            return QStringLiteral("%1ms").arg(v);
        case RowKind::ReverbTime: {
            const float t = app_.device().store.params.getFloat(channelB() ? r.wordB : r.wordA);
            return QString::asprintf("%.0fms", static_cast<double>(t) * 49.6 + 40.0);
        }
        case RowKind::Shift:
            return v <= 1 ? pick(app_.languageIndex(), "关闭", "Off")
                          : QStringLiteral("%1Hz").arg(v);
    }
    return {};
}

void CDialogMusic::refreshParams() {
    for (int r = 0; r < kEffectRows; ++r)
        list_->setCellText(r, 3, rowText(r));
    valueEdit_->setText(rowText(row_));
    const EffectRow& row = kRows[static_cast<std::size_t>(row_)];
    CXBmpSlider* slider = valueSlider();
    slider->setRange(rowRange(row).first, rowRange(row).second);
    if (effectsEnabled()) slider->setPosition(rowValue(row_));
    list_->setAllRowColors(effectsEnabled() ? kSkyBlue : kGrey, kListBackground);
    list_->setCurrentCell(row_, 2);
}

void CDialogMusic::refreshCurves() {
    const ParamStore& store = app_.device().store;
    const int sel = selection();
    const std::array<std::pair<CSmallEqPanel*, int>, 2> curves{
        {{reverbCurve_, sel == kEqMicA ? kEqReverbA : kEqReverbB},
         {echoCurve_, sel == kEqMicA ? kEqEchoA : kEqEchoB}}};
    for (const auto& [curve, eq] : curves) {
        if (sel == kEqMusic) {
            for (int b = 0; b < CSmallEqPanel::kBands; ++b) {
                curve->setType(b, kPeq);
                curve->setGain(b, 0.0f);
            }
            curve->setLineColor(kGrey);
            curve->setPassOverlay(false);
            curve->setVeil(true);
            continue;
        }
        EqGraphModel graph;
        loadEqFromStore(store, graph, eq);
        for (int b = 0; b < CSmallEqPanel::kBands; ++b) {
            const EqBand& band = graph.band(b);
            curve->setType(b, band.type);
            curve->setFrequency(b, band.freq);
            curve->setQ(b, band.q);
            curve->setGain(b, band.gain);
        }
        curve->setLineColor(sel == kEqMicA ? kSkyBlue : kGreen);
        curve->setPassOverlay(isEqBypassed(store, eq));
        curve->setVeil(false);
    }
}

void CDialogMusic::ToggleEqBypass() {
    editor_->toggleBypass();
}

bool CDialogMusic::IsEqBypassed() {
    return editor_->isBypassed();
}

void CDialogMusic::ResetEq() {
    editor_->reset();
}

// ---------------------------------------------------------------------------
// Edits

void CDialogMusic::selectInput(int eq) {
    app_.setInputEqSelection(eq);
    RefreshFromStore();
}

void CDialogMusic::setRoute(int port, bool channelA) {
    if (loading_) return;
    const std::string n = std::to_string(port + 1);
    app_.edits().applyIfChanges(Edit({"话筒口" + n + " 通道", "Mic " + n + " Channel"})
                                    .wordInt(w::micRouteA + port, channelA ? 100 : 0)
                                    .wordInt(w::micRouteB + port, channelA ? 0 : 100));
}

void CDialogMusic::onPortSlider(int controlId, int position) {
    if (loading_) return;
    const bool gate = controlId < kFirstLevelSlider;
    const int port = controlId - (gate ? kFirstGateSlider : kFirstLevelSlider);
    const int word = (gate ? w::micGateThreshold : w::micLevel) + port;
    app_.edits().applyIfChanges(wordEdit(app_.device().store, word, position));
    portLabels_[static_cast<std::size_t>(port + (gate ? 0 : kPorts))]->setText(
        QString::number(position));
}

void CDialogMusic::selectRow(int row) {
    if (row < 0 || row >= kEffectRows) return;
    row_ = row;
    const bool wasLoading = loading_;
    loading_ = true;
    const EffectRow& r = kRows[static_cast<std::size_t>(row)];
    CXBmpSlider* slider = valueSlider();
    slider->setRange(rowRange(r).first, rowRange(r).second);
    slider->setPosition(rowValue(row));
    valueEdit_->setText(rowText(row));
    rowName_->setText(pick(app_.languageIndex(), r.zh, r.en));
    if (list_->currentRow() != row) list_->setCurrentCell(row, 2);
    loading_ = wasLoading;
}

void CDialogMusic::applyRowValue(int value) {
    if (!effectsEnabled()) return;
    const EffectRow& r = kRows[static_cast<std::size_t>(row_)];
    const bool b = channelB();
    const int word = b ? r.wordB : r.wordA;
    // A predelay's value is the sum of its two taps.
    const double v = r.kind == RowKind::Predelay ? value * 0.5 : value;
    const bool made = app_.edits().applyIfChanges(wordEdit(app_.device().store, word, v));
    if (made && value != 0) {
        const ParamBlock& p = app_.device().store.params;
        const int lang = app_.languageIndex();
        if (row_ == kEchoLevelRow && p.getInt(w::echoMute) != 0)
            app_.ShowInfo(pick(lang, "回声已静音", "Echo vol is mute"), 1100);
        if (row_ == kReverbLevelRow && p.getInt(w::reverbMute) != 0)
            app_.ShowInfo(pick(lang, "混响已静音", "Reverb vol is mute"), 1100);
    }
    list_->setCellText(row_, 3, rowText(row_));
    valueEdit_->setText(rowText(row_));
}

void CDialogMusic::stepValue(int delta) {
    if (!effectsEnabled() || delta == 0) return;
    CXBmpSlider* slider = valueSlider();
    slider->setPosition(slider->position() + delta);
    applyRowValue(slider->position());
}

// ---------------------------------------------------------------------------
// Status, keys and wheel

void CDialogMusic::updateStatus() {
    const auto status = app_.device().store.liveStatus.snapshot();
    const auto level = [&status](int byte) {
        const int v = status[static_cast<std::size_t>(byte)];
        return std::array<int, 1>{v};
    };
    meters_[0]->setData(level(4));
    meters_[1]->setData(level(5));
    for (int port = 0; port < kPorts; ++port)
        meters_[static_cast<std::size_t>(2 + port)]->setData(level(port));
    const int flags = status[kStatusFlags];
    bluetooth_->setOn((flags & kFlagBluetooth) != 0);
    pairing_->setOn((flags & kFlagPaired) != 0);
    const QString format = (flags & kFlagDolby) != 0  ? QStringLiteral("DOLBY")
                           : (flags & kFlagDts) != 0  ? QStringLiteral("DTS")
                           : (flags & kFlagLpcm) != 0 ? QStringLiteral("Multi-CH LPCM")
                                                      : QStringLiteral("Stereo");
    if (format_->text() != format) format_->setText(format);
}

bool CDialogMusic::routeWheel(QWidget* focus, QWheelEvent* event) {
    if (focus == list_) {
        const int delta = event->angleDelta().y();
        if (delta != 0) stepValue(delta > 0 ? 1 : -1);
        return true;
    }
    const int id = controlId(focus);
    if (id == kValueSlider || (id >= CEqEditor::kPanelId && id <= 1059) ||
        (id >= CEqEditor::kGainSliderId && id <= CEqEditor::kQSliderId)) {
        return CWheelToFocus::forwardWheel(focus, event);
    }
    return false;
}

bool CDialogMusic::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Left:
            case Qt::Key_Down:
                stepValue(-1);
                return true;
            case Qt::Key_Up:
            case Qt::Key_Right:
                stepValue(1);
                return true;
            default:
                break;
        }
    }
    return CEditorPage::eventFilter(watched, event);
}

}  // namespace v36
