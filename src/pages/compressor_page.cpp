#include "pages/compressor_page.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/edit_path.h"
#include "app/language.h"
#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "controls/compress_panel.h"
#include "pages/page_buttons.h"
#include "pages/page_support.h"
#include "protocol/bytes.h"
#include "protocol/edit.h"
#include "protocol/words.h"

namespace v36 {

const CCompDlg::GroupIds CCompDlg::kIds[kGroups] = {
    {1045, {1014, 1015, 1016, 1017}, {1038, 1039, 1040, 1041}, 1125, {1005, 1007, 1006, 1002}},
    {1046, {1018, 1019, 1020, 1021}, {1042, 1043, 1044, 1047}, 1126, {1008, 1009, 1010, 1003}},
    {1050, {1022, 1023, 1024, 1025}, {1048, 1049, 1051, 1052}, 1127, {1011, 1012, 1013, 1004}},
    {1055, {1028, 1029, 1030, 1032}, {1053, 1054, 1056, 1057}, 1128, {1026, 1027, 1031, 1033}},
    {1060, {1036, 1037, 1061, 1064}, {1058, 1059, 1062, 1065}, 1129, {1034, 1035, 1063, 1066}},
};

namespace {

struct Text {
    const char* zh;
    const char* en;
};

// By group: the switch's caption.
constexpr Text kSwitchCaptions[CCompDlg::kGroups] = {
    {"前置压限启用", "Main Comp ON"},   {"后置压限启用", "Rear Comp ON"},
    {"中置压限启用", "Center Comp ON"}, {"超低压限启用", "Sub Comp ON"},
    {"顶置压限启用", "Top Comp ON"},
};
constexpr Text kParamNames[4] = {{"阀(阈)", "Threshold"},
                                 {"衰减比例", "Ratio"},
                                 {"启动时间", "Attack time"},
                                 {"释放时间", "Release time"}};

// Where each slider starts before the store is shown.
constexpr int kInitialPositions[4] = {0, 10, 1, 100};

// A whole number toward zero that never overflows (a value from the unit
// may be anything); not a number gives 0.
float truncated(float value) {
    if (!std::isfinite(value)) return 0.0f;
    return std::trunc(std::clamp(value, -1.0e6f, 1.0e6f));
}

// Holds a slider and stretches its track across the width it is given.
class SliderCell : public QWidget {
  public:
    SliderCell(CXBmpSlider* slider, QWidget* parent) : QWidget(parent), slider_(slider) {
        slider_->setParent(this);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {131, 22}; }
    QSize minimumSizeHint() const override { return {100, 22}; }

  protected:
    void resizeEvent(QResizeEvent*) override {
        slider_->setTrackSize(QSize(width(), 22));
        slider_->move(0, (height() - slider_->height()) / 2);
    }

  private:
    CXBmpSlider* slider_;
};

}  // namespace

const OutputGroup& CCompDlg::outputGroup(int group) {
    static constexpr const OutputGroup* kGroupsInPageOrder[kGroups] = {
        &outMain, &outRear, &outCenter, &outSub, &outTop};
    return *kGroupsInPageOrder[std::clamp(group, 0, kGroups - 1)];
}

int CCompDlg::positionOf(Param param, float value) {
    // The ratio's tenths in single precision, the others whole numbers.
    if (param == Ratio) return static_cast<int>(truncated(value * 10.0f));
    return static_cast<int>(truncated(value));
}

QString CCompDlg::valueText(Param param, float value) {
    const double v = static_cast<double>(value);
    switch (param) {
        case Threshold:
            return QString::asprintf("%.0fdB", v);
        case Ratio:
            return QString::asprintf("%.1f:1", v);
        case Attack:
        case Release:
            break;
    }
    return QString::asprintf("%.0fms", v);
}

CCompDlg::CCompDlg(CAppServices& app, QWidget* parent)
    : CEditorPage(PageKind::Compressor, app, parent) {
    build();
    // As on the delay and output pages: the wheel turns the focused slider
    // wherever the pointer is on the page, the slider under it included.
    new CWheelToFocus(this, [](QWidget* focus, QWheelEvent* event) {
        const int id = controlId(focus);
        if (!qobject_cast<CXBmpSlider*>(focus) || id < 1014 || id > 1064) return false;
        return CWheelToFocus::forwardWheel(focus, event);
    });
    RefreshFromStore();
    ApplyLanguage();
}

CXBmpSlider* CCompDlg::slider(int group, Param param) const {
    return groups_.at(static_cast<std::size_t>(group)).sliders[static_cast<std::size_t>(param)];
}
QLineEdit* CCompDlg::box(int group, Param param) const {
    return groups_.at(static_cast<std::size_t>(group)).boxes[static_cast<std::size_t>(param)];
}
QCheckBox* CCompDlg::switchOf(int group) const {
    return groups_.at(static_cast<std::size_t>(group)).on;
}
CCompressPanelPlus* CCompDlg::curve(int group) const {
    return groups_.at(static_cast<std::size_t>(group)).curve;
}

void CCompDlg::build() {
    const int lang = app_.languageIndex();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    buttons_ = new CPageButtonRow(app_, this);
    buttons_->setCurrent(PageKind::Compressor);
    page->addWidget(buttons_);
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    page->addLayout(row, 1);

    const int boxWidth = fontMetrics().horizontalAdvance(QStringLiteral("-000.0:1")) + 12;
    for (int group = 0; group < kGroups; ++group) {
        const GroupIds& ids = kIds[group];
        Controls& c = groups_[static_cast<std::size_t>(group)];
        auto* column = new QWidget(this);
        auto* col = new QVBoxLayout(column);
        col->setContentsMargins(0, 0, 0, 0);
        col->setSpacing(4);

        c.on = new QCheckBox(column);
        setControlId(c.on, ids.switchId);
        c.on->setText(pick(lang, kSwitchCaptions[group].zh, kSwitchCaptions[group].en));
        connect(c.on, &QCheckBox::clicked, this, [this, group](bool on) { onSwitch(group, on); });
        col->addWidget(c.on);

        c.curve = new CCompressPanelPlus(column);
        setControlId(c.curve, ids.curve);
        c.curve->setKnee(-90.0f);
        c.curve->setSlopeBelowKnee(1.0f);
        c.curve->setMinimumSize(200, 190);
        c.curve->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        col->addWidget(c.curve, 1);

        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(6);
        grid->setVerticalSpacing(2);
        for (int p = 0; p < 4; ++p) {
            const std::size_t i = static_cast<std::size_t>(p);
            auto* name = new QLabel(pick(lang, kParamNames[p].zh, kParamNames[p].en), column);
            setControlId(name, ids.labels[i]);
            grid->addWidget(name, 2 * p, 0, 1, 2);

            auto* s = new CXBmpSlider(nullptr);
            s->setControlId(ids.sliders[i]);
            setControlId(s, ids.sliders[i]);
            // The ratio's slider counts tenths; the others whole units.
            const ControlInfo& range = controlInfo(outputGroup(group).compThreshold() + p);
            const double scale = p == Ratio ? 10.0 : 1.0;
            s->setRange(static_cast<int>(std::lround(range.lo * scale)),
                        static_cast<int>(std::lround(range.hi * scale)));
            s->setPosition(kInitialPositions[p]);
            s->setBackgroundColor(QColor::fromRgb(kPageBackground));
            c.sliders[i] = s;
            grid->addWidget(new SliderCell(s, column), 2 * p + 1, 0);
            const Param param = static_cast<Param>(p);
            connect(s, &CXBmpSlider::sliderChanged, this,
                    [this, group, param](int, int position) { onSlider(group, param, position); });

            auto* b = new QLineEdit(column);
            setControlId(b, ids.boxes[i]);
            b->setReadOnly(true);
            b->setFocusPolicy(Qt::NoFocus);
            b->setFixedWidth(boxWidth);
            b->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            c.boxes[i] = b;
            grid->addWidget(b, 2 * p + 1, 1);
        }
        grid->setColumnStretch(0, 1);
        col->addLayout(grid);
        row->addWidget(column, 1);
        // The top group is part of the page but never shown.
        if (group >= kShownGroups) column->hide();
    }
}

void CCompDlg::RefreshFromStore() {
    const ParamBlock& p = app_.device().store.params;
    for (int group = 0; group < kGroups; ++group) {
        const OutputGroup& g = outputGroup(group);
        Controls& c = groups_[static_cast<std::size_t>(group)];
        const bool on = p.getInt(g.compBypass()) == 0;
        const std::array<float, 4> values{p.getFloat(g.compThreshold()), p.getFloat(g.compRatio()),
                                          p.getFloat(g.compAttack()), p.getFloat(g.compRelease())};
        c.on->setChecked(on);
        for (std::size_t i = 0; i < 4; ++i) {
            const Param param = static_cast<Param>(i);
            c.sliders[i]->setPosition(positionOf(param, values[i]));
            c.boxes[i]->setText(valueText(param, values[i]));
        }
        c.curve->setOn(on);
        showCurve(group, values[0], values[1]);
    }
    buttons_->setCurrent(PageKind::Compressor);
}

void CCompDlg::showCurve(int group, float threshold, float ratio) {
    CCompressPanelPlus* c = curve(group);
    c->setThreshold(std::isfinite(threshold) ? threshold : 0.0f);
    // A ratio the unit cannot hold (0, or not a number) draws as 1:1.
    c->setSlopeAboveThreshold(std::isfinite(ratio) && ratio > 0.0f ? 1.0f / ratio : 1.0f);
}

void CCompDlg::onSlider(int group, Param param, int position) {
    const OutputGroup& g = outputGroup(group);
    const ParamStore& store = app_.device().store;
    const int word = g.compThreshold() + static_cast<int>(param);
    WordValue value;
    value.f = param == Ratio ? static_cast<float>(position) / 10.0f : static_cast<float>(position);
    // The group's four values as the edit stores them (attack and release
    // as whole milliseconds).
    Edit edit = wordEdit(store, word, value);
    std::array<float, 4> values{};
    for (const auto& [w, raw] : edit.wordValues())
        values[static_cast<std::size_t>(w - g.compThreshold())] = bitsFloat(raw);
    showCurve(group, values[0], values[1]);
    Controls& c = groups_[static_cast<std::size_t>(group)];
    for (std::size_t i = 0; i < 4; ++i)
        c.boxes[i]->setText(valueText(static_cast<Param>(i), values[i]));
    // A step against the end of the slider changes nothing.
    app_.edits().applyIfChanges(std::move(edit));
}

void CCompDlg::onSwitch(int group, bool on) {
    const OutputGroup& g = outputGroup(group);
    curve(group)->setOn(on);
    app_.edits().apply(wordEdit(app_.device().store, g.compBypass(), on ? 0 : 1));
}

}  // namespace v36
