#include "pages/delay_dlg.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/language.h"
#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "controls/delay_panel.h"
#include "controls/grid_list.h"
#include "controls/pictures.h"
#include "controls/spin_button.h"
#include "pages/page_buttons.h"
#include "pages/page_support.h"
#include "protocol/output_delay.h"
#include "protocol/words.h"

namespace v36 {

namespace {

// The controls of a channel row, in the delay channels' order.
struct ChannelIds {
    int captionId;
    int sliderId;
    int labelId;
};
constexpr std::array<ChannelIds, CDelayDlg::kChannels> kChannelIds{{
    {1123, 1014, 1008},
    {1124, 1015, 1009},
    {1125, 1016, 1010},
    {1126, 1017, 1011},
    {1131, 1018, 1012},
    {1135, 1019, 1013},
    {1132, 1022, 1020},
    {1136, 1023, 1021},
}};

const DelayChannel& channelOf(int c) {
    return kDelayChannels.at(static_cast<std::size_t>(c));
}
const ChannelIds& idsOf(int c) {
    return kChannelIds.at(static_cast<std::size_t>(c));
}

constexpr int kFirstBoxId = 1038;
constexpr int kFirstSpinId = 1242;
constexpr int kFirstSwitchId = 1293;
constexpr int kFirstRadioId = 1190;  // High Freq; Channel is the next id

bool isTop(int c) {
    return channelOf(c).group == &outTop;
}

QString delayText(float ms) {
    return QString::asprintf("%.1fms", static_cast<double>(ms));
}

// Grid columns of a channel row.
enum Column { kCaption, kSwitch, kBox, kHighFreq, kChannelMode, kSlider, kLabel };

}  // namespace

CDelayDlg::CDelayDlg(CAppServices& app, QWidget* parent)
    : CEditorPage(PageKind::Delay, app, parent) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    buttons_ = new CPageButtonRow(app, this);
    buttons_->setCurrent(PageKind::Delay);
    page->addWidget(buttons_);

    auto* body = new QHBoxLayout;
    body->setSpacing(12);
    page->addLayout(body, 1);

    // The rows line up with the diagram's lanes, so the table takes the
    // diagram's height whatever its rows asked for before.
    table_ = new QWidget(this);
    table_->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Ignored);
    grid_ = new QGridLayout(table_);
    grid_->setSizeConstraint(QLayout::SetNoConstraint);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setHorizontalSpacing(8);
    grid_->setVerticalSpacing(0);
    for (int c = 0; c < kChannels; ++c)
        buildRow(c, grid_);
    grid_->setRowStretch(kChannels, 1);
    body->addWidget(table_);

    diagram_ = new CDelayPanel(this);
    setControlId(diagram_, kDiagramId);
    diagram_->setMinimumSize(diagram_->minimumSizeHint());
    diagram_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    diagram_->installEventFilter(this);
    connect(diagram_, &CDelayPanel::delayDrag, this, &CDelayDlg::onDrag);
    body->addWidget(diagram_, 1);

    // The wheel turns the focused split slider, or steps the focused delay
    // box like its spin.
    new CWheelToFocus(this, [this](QWidget* focus, QWheelEvent* event) {
        for (int c = 0; c < kChannels; ++c) {
            const Row& r = rows_.at(index(c));
            if (focus == r.slider) {
                return CWheelToFocus::forwardWheel(focus, event);
            }
            if (focus == r.box) {
                const int delta = event->angleDelta().y();
                if (delta != 0 && r.box->isEnabled()) onSpin(c, delta > 0 ? 1 : -1);
                return true;
            }
        }
        return false;
    });

    RefreshFromStore();
    ApplyLanguage();
}

void CDelayDlg::buildRow(int c, QGridLayout* grid) {
    const DelayChannel& ch = channelOf(c);
    const int language = app_.languageIndex();
    Row& r = rows_.at(index(c));

    r.caption = new QLabel(pick(language, ch.zh, ch.en), table_);
    setControlId(r.caption, idsOf(c).captionId);

    r.on = new QCheckBox(pick(language, "开关", "ON"), table_);
    setControlId(r.on, kFirstSwitchId + c);
    connect(r.on, &QCheckBox::clicked, this, [this, c](bool on) { onSwitch(c, on); });

    // The box with its spin, two arrow buttons stacked at its right.
    auto* cell = new QWidget(table_);
    cell->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* cellRow = new QHBoxLayout(cell);
    cellRow->setContentsMargins(0, 0, 0, 0);
    cellRow->setSpacing(1);
    r.box = new QLineEdit(cell);
    setControlId(r.box, kFirstBoxId + c);
    r.box->setFixedWidth(r.box->fontMetrics().horizontalAdvance(QStringLiteral("100.0ms")) + 16);
    connect(r.box, &QLineEdit::returnPressed, this, [this, c] { onEnter(c); });
    cellRow->addWidget(r.box);
    r.spin = new CSpinButton(cell);
    setControlId(r.spin, kFirstSpinId + c);
    r.spin->setRange(spinMinimum(), spinMaximum());
    r.spin->setPosition(1);
    r.box->setFixedHeight(r.box->sizeHint().height());
    r.spin->setFixedSize(r.spin->sizeHint().width(), r.box->height());
    connect(r.spin, &CSpinButton::deltaPos, this, [this, c](int delta) { onSpin(c, delta); });
    cellRow->addWidget(r.spin);

    r.modes = new QButtonGroup(this);
    r.highFreq = new QRadioButton(pick(language, "高频延时", "High Freq "), table_);
    r.channel = new QRadioButton(pick(language, "通道延时", "Channel"), table_);
    setControlId(r.highFreq, kFirstRadioId + 2 * c);
    setControlId(r.channel, kFirstRadioId + 2 * c + 1);
    r.modes->addButton(r.highFreq, 0);
    r.modes->addButton(r.channel, 1);
    r.highFreq->setChecked(true);
    connect(r.highFreq, &QRadioButton::clicked, this, [this, c] { onMode(c, 0); });
    connect(r.channel, &QRadioButton::clicked, this, [this, c] { onMode(c, 1); });

    r.slider = new CXBmpSlider(table_);
    r.slider->setControlId(idsOf(c).sliderId);
    setControlId(r.slider, idsOf(c).sliderId);
    r.slider->loadPictures(picture::kSliderTrack, picture::kSliderFill, picture::kSliderThumb,
                           picture::kSliderThumbFocused, picture::kSliderThumbDisabled);
    r.slider->setMargins(7, 7, 3, 2);
    r.slider->setBackgroundColor(QColor::fromRgb(kPageBackground));
    r.slider->setRange(0, kSplitPairs - 1);
    r.slider->setPosition(0);
    connect(r.slider, &CXBmpSlider::sliderChanged, this,
            [this, c](int, int position) { onSplit(c, position); });

    r.splitLabel = new QLabel(table_);
    setControlId(r.splitLabel, idsOf(c).labelId);
    r.splitLabel->setMinimumWidth(
        r.splitLabel->fontMetrics().horizontalAdvance(QStringLiteral("3000Hz")) + 4);

    grid->addWidget(r.caption, c, kCaption);
    grid->addWidget(r.on, c, kSwitch);
    grid->addWidget(cell, c, kBox);
    grid->addWidget(r.highFreq, c, kHighFreq);
    grid->addWidget(r.channel, c, kChannelMode);
    grid->addWidget(r.slider, c, kSlider);
    grid->addWidget(r.splitLabel, c, kLabel);
    if (isTop(c)) {
        for (QWidget* w : {static_cast<QWidget*>(r.caption), static_cast<QWidget*>(r.on), cell,
                           static_cast<QWidget*>(r.box), static_cast<QWidget*>(r.spin),
                           static_cast<QWidget*>(r.highFreq), static_cast<QWidget*>(r.channel),
                           static_cast<QWidget*>(r.slider), static_cast<QWidget*>(r.splitLabel)})
            w->hide();
    }
}

int CDelayDlg::spinPositionOf(float ms) {
    // Tenths, truncated; the small allowance keeps 12.4 (12.3999996 as a
    // single) at 124.
    return static_cast<int>(std::floor(static_cast<double>(ms) * 10.0 + 1e-3));
}

int CDelayDlg::spinMinimum() {
    return spinPositionOf(static_cast<float>(controlInfo(outMain.delayMs(0)).lo));
}

int CDelayDlg::spinMaximum() {
    return spinPositionOf(static_cast<float>(controlInfo(outMain.delayMs(0)).hi));
}

EditText CDelayDlg::splitText(int c) const {
    const DelayChannel& ch = channelOf(c);
    return {std::string(ch.zh) + "分频点", std::string(ch.en) + " Split Freq"};
}

void CDelayDlg::ApplyLanguage() {
    CEditorPage::ApplyLanguage();
    diagram_->setLanguage(app_.languageIndex());
}

void CDelayDlg::RefreshFromStore() {
    const ParamStore& store = app_.device().store;
    for (int c = 0; c < kChannels; ++c) {
        const DelayChannel& ch = channelOf(c);
        const OutputGroup& g = *ch.group;
        Row& r = rows_.at(index(c));
        const float ms = store.params.getFloat(g.delayMs(ch.channel));
        r.spin->setPosition(spinPositionOf(ms));
        r.box->setText(delayText(ms));
        diagram_->setValue(c, ms);
        r.on->setChecked(store.params.getInt(g.delayBypass(ch.channel)) == 0);
        (store.params.getInt(g.delayFilterMode(ch.channel)) == 0 ? r.highFreq : r.channel)
            ->setChecked(true);
        showSplitPair(c);
        applyEnabling(c);
    }
}

void CDelayDlg::showSplitPair(int c) {
    const DelayChannel& ch = channelOf(c);
    Row& r = rows_.at(index(c));
    const int pair =
        std::clamp(splitPairOf(app_.device().store, *ch.group, ch.channel), 0, kSplitPairs - 1);
    r.slider->setPosition(pair);
    r.splitLabel->setText(QStringLiteral("%1Hz").arg(splitHighPassHz(pair)));
}

void CDelayDlg::applyEnabling(int c) {
    Row& r = rows_.at(index(c));
    const bool on = r.on->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(r.caption), static_cast<QWidget*>(r.highFreq),
                       static_cast<QWidget*>(r.channel), static_cast<QWidget*>(r.box),
                       static_cast<QWidget*>(r.spin)})
        w->setEnabled(on);
    const bool split = on && r.highFreq->isChecked();
    r.slider->setEnabled(split);
    r.splitLabel->setEnabled(split);
}

void CDelayDlg::applyDelay(int c, float ms) {
    const DelayChannel& ch = channelOf(c);
    const int word = ch.group->delayMs(ch.channel);
    Row& r = rows_.at(index(c));
    const float v = clampOutputDelay(ms);
    r.box->setText(delayText(v));
    diagram_->setValue(c, v);
    r.spin->setPosition(spinPositionOf(v));
    app_.edits().applyIfChanges(wordEdit(app_.device().store, word, static_cast<double>(v)));
}

int CDelayDlg::spinPosition(int c) const {
    return rows_.at(index(c)).spin->position();
}

void CDelayDlg::onSpin(int c, int delta) {
    CSpinButton* spin = rows_.at(index(c)).spin;
    const int position = spin->stepped(delta);
    applyDelay(c, static_cast<float>(position) / 10.0f);
    spin->setPosition(position);
}

void CDelayDlg::onEnter(int c) {
    const QString number = CGridListCtrl::leadingNumber(rows_.at(index(c)).box->text());
    // Text that is not a number counts as 0, which the limits raise to 1.5 ms.
    const float ms = number.isEmpty() ? 0.0f : number.toFloat();
    onDrag(c, clampOutputDelay(ms));
}

void CDelayDlg::onDrag(int lane, float ms) {
    if (lane < 0 || lane >= kChannels) return;
    Row& r = rows_.at(index(lane));
    if (r.box->isVisible()) r.box->setFocus(Qt::OtherFocusReason);
    applyDelay(lane, ms);
}

void CDelayDlg::onSwitch(int c, bool on) {
    const DelayChannel& ch = channelOf(c);
    const int word = ch.group->delayBypass(ch.channel);
    app_.edits().applyIfChanges(wordEdit(app_.device().store, word, on ? 0 : 1));
    applyEnabling(c);
}

void CDelayDlg::onMode(int c, int mode) {
    const DelayChannel& ch = channelOf(c);
    const OutputGroup& g = *ch.group;
    applyEnabling(c);
    const ParamStore& store = app_.device().store;
    const int word = g.delayFilterMode(ch.channel);
    if (store.params.getInt(word) == mode) return;
    // The mode words, then the split pair.
    app_.edits().apply(wordEdit(store, word, mode));
}

void CDelayDlg::onSplit(int c, int position) {
    const DelayChannel& ch = channelOf(c);
    const OutputGroup& g = *ch.group;
    const int pair = std::clamp(position, 0, kSplitPairs - 1);
    if (pair != splitPairOf(app_.device().store, g, ch.channel)) {
        const auto sections = splitSections(g, ch.channel, pair, true);
        app_.edits().apply(Edit(splitText(c))
                               .merging("split:" + std::to_string(g.block) + ":" +
                                        std::to_string(g.splitHighPass(ch.channel)))
                               .sections(g.block, sections));
    }
    showSplitPair(c);
}

bool CDelayDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == diagram_ && event->type() == QEvent::Resize) alignRowsWithLanes();
    return CEditorPage::eventFilter(watched, event);
}

void CDelayDlg::alignRowsWithLanes() {
    // The table shares the diagram's top; row c takes lane c's band.
    const int offset = diagram_->y() - table_->y();
    grid_->setContentsMargins(0, std::max(0, offset + diagram_->laneTop(0)), 0, 0);
    for (int c = 0; c < kChannels; ++c)
        grid_->setRowMinimumHeight(c, diagram_->laneTop(c + 1) - diagram_->laneTop(c));
}

}  // namespace v36
