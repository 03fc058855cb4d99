#include "pages/switch_level_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QScopedValueRollback>
#include <cmath>

#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "pages/tool_dialog_parts.h"
#include "protocol/edit.h"

namespace v36 {

namespace {
constexpr int kSliderWidth = 240;
constexpr int kDescriptionWidth = 380;
}  // namespace

CSwitchLevelDlg::CSwitchLevelDlg(ToolDialog kind, CAppServices& app, QWidget* parent, Setup setup)
    : CToolDialog(kind, app, parent), setup_(std::move(setup)) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 14, 16, 16);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    description_ = wrappedText(this, 1005, kDescriptionWidth);
    QFont bold = description_->font();
    bold.setBold(true);
    description_->setFont(bold);
    grid->addWidget(description_, 0, 0, 1, 3);
    enable_ = new QCheckBox(this);
    setControlId(enable_, 1045);
    grid->addWidget(enable_, 1, 0, 1, 3);
    caption_ = staticText(this, 1123);
    grid->addWidget(caption_, 2, 0);
    const ControlInfo& level = controlInfo(setup_.levelWord);
    slider_ =
        toolSlider(this, 1000, static_cast<int>(std::lround(level.lo * setup_.positionsPerUnit)),
                   static_cast<int>(std::lround(level.hi * setup_.positionsPerUnit)), kSliderWidth);
    grid->addWidget(slider_, 2, 1, Qt::AlignVCenter);
    value_ = v36::valueLabel(this, 1127, setup_.widestValue);
    grid->addWidget(value_, 2, 2);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(enable_, &QCheckBox::clicked, this, &CSwitchLevelDlg::onEnableClicked);
    connect(slider_, &CXBmpSlider::sliderChanged, this,
            [this](int, int position) { onSliderChanged(position); });
}

void CSwitchLevelDlg::finish() {
    RefreshFromStore();
    ApplyLanguage();
}

void CSwitchLevelDlg::RefreshFromStore() {
    QScopedValueRollback<bool> guard(refreshing_, true);
    const ParamBlock& p = app_.device().store.params;
    slider_->setPosition(positionFromStore());
    value_->setText(valueFromStore());
    const bool on = p.getInt(setup_.enableWord) != 0;
    enable_->setChecked(on);
    enableLevel(on);
}

void CSwitchLevelDlg::enableLevel(bool on) {
    caption_->setEnabled(on);
    value_->setEnabled(on);
    slider_->setEnabled(on);
}

void CSwitchLevelDlg::onEnableClicked(bool on) {
    if (refreshing_) return;
    enableLevel(on);
    app_.edits().apply(wordEdit(app_.device().store, setup_.enableWord, on ? 1 : 0));
}

void CSwitchLevelDlg::onSliderChanged(int position) {
    if (refreshing_) return;
    value_->setText(valueOfPosition(position));
    app_.edits().apply(wordEdit(app_.device().store, setup_.levelWord, levelOf(position)));
}

}  // namespace v36
