#include "pages/noise_gate_dlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>
#include <algorithm>

#include "app/edit_path.h"
#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "pages/page_support.h"
#include "pages/tool_dialog_parts.h"
#include "protocol/controls.h"
#include "protocol/edit.h"
#include "protocol/words.h"

namespace v36 {

namespace {

struct GateSlider {
    int slider;   // control id
    int label;    // value label
    int caption;  // caption
    int word;
};

const std::array<GateSlider, 4> kGateSliders{{
    {1041, 1127, 1123, w::micGateAttack},
    {1042, 1128, 1124, w::micGateRelease},
    {1043, 1129, 1125, w::musicGateAttack},
    {1044, 1130, 1126, w::musicGateRelease},
}};

// The slider stores 101 minus its position: the highest position stores
// the smallest value.
constexpr int kMirror = 101;

constexpr int kSliderWidth = 260;

}  // namespace

CDialogNG::CDialogNG(CAppServices& app, QWidget* parent)
    : CToolDialog(ToolDialog::NoiseGate, app, parent) {
    setWindowTitle(pick(app.languageIndex(), "噪声门设置", "Noise gate setting"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(10);
    for (int group = 0; group < 2; ++group) {
        auto* box = new QGroupBox(this);
        setControlId(box, group == 0 ? 1178 : 1179);
        auto* grid = new QGridLayout(box);
        grid->setHorizontalSpacing(10);
        grid->setColumnStretch(1, 1);
        for (int row = 0; row < 2; ++row) {
            const int i = group * 2 + row;
            const GateSlider& g = kGateSliders.at(static_cast<std::size_t>(i));
            grid->addWidget(staticText(box, g.caption), row, 0);
            const ControlInfo& c = controlInfo(g.word);
            sliders_.at(static_cast<std::size_t>(i)) =
                toolSlider(box, g.slider, kMirror - static_cast<int>(c.hi),
                           kMirror - static_cast<int>(c.lo), kSliderWidth);
            grid->addWidget(sliders_.at(static_cast<std::size_t>(i)), row, 1, Qt::AlignVCenter);
            labels_.at(static_cast<std::size_t>(i)) =
                v36::valueLabel(box, g.label, QStringLiteral("100"));
            grid->addWidget(labels_.at(static_cast<std::size_t>(i)), row, 2);
            connect(sliders_.at(static_cast<std::size_t>(i)), &CXBmpSlider::sliderChanged, this,
                    [this, i](int, int position) { onSliderChanged(i, position); });
        }
        layout->addWidget(box);
    }
    // The template's OK and Cancel exist but stay hidden: Escape or the
    // close button ends the dialog, and nothing is sent on closing.
    for (int id : {1, 2}) {
        auto* button = new QPushButton(this);
        setControlId(button, id);
        button->setAutoDefault(false);
        button->hide();
    }
    // A wheel turn anywhere in the dialog goes to the slider with the focus.
    new CWheelToFocus(this, [this](QWidget* focus, QWheelEvent* event) {
        if (std::find(sliders_.begin(), sliders_.end(), focus) == sliders_.end()) return false;
        return CWheelToFocus::forwardWheel(focus, event);
    });
    RefreshFromStore();
    ApplyLanguage();
}

void CDialogNG::RefreshFromStore() {
    QScopedValueRollback<bool> guard(refreshing_, true);
    const ParamBlock& p = app_.device().store.params;
    for (std::size_t i = 0; i < kGateSliders.size(); ++i) {
        const int stored = p.getInt(kGateSliders.at(i).word);
        sliders_.at(i)->setPosition(kMirror - stored);
        labels_.at(i)->setText(QString::number(kMirror - stored));
    }
}

void CDialogNG::onSliderChanged(int index, int position) {
    if (refreshing_) return;
    const GateSlider& g = kGateSliders.at(static_cast<std::size_t>(index));
    labels_.at(static_cast<std::size_t>(index))->setText(QString::number(position));
    app_.edits().apply(wordEdit(app_.device().store, g.word, kMirror - position));
}

}  // namespace v36
