#include "pages/dialog_output.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

#include "app/language.h"
#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "controls/eq_panel.h"
#include "dsp/crossover.h"
#include "pages/eq_editor.h"
#include "pages/page_buttons.h"
#include "pages/page_support.h"
#include "protocol/controls.h"
#include "protocol/edit.h"
#include "protocol/words.h"

namespace v36 {

namespace {

struct ChannelInfo {
    int channel;
    const OutputGroup* group;
    int pictureZh;
    int pictureEn;
};

constexpr std::array<ChannelInfo, 5> kChannelInfo{{
    {5, &outMain, picture::kSpeakerMainZh, picture::kSpeakerMainEn},
    {3, &outCenter, picture::kSpeakerCenterZh, picture::kSpeakerCenterEn},
    {2, &outSub, picture::kSpeakerSubZh, picture::kSpeakerSubEn},
    {4, &outRear, picture::kSpeakerRearZh, picture::kSpeakerRearEn},
    {11, &outTop, picture::kSpeakerTopZh, picture::kSpeakerTopEn},
}};

const ChannelInfo& infoOf(int channel) {
    for (const ChannelInfo& c : kChannelInfo) {
        if (c.channel == channel) return c;
    }
    return kChannelInfo[0];
}

// A text in Chinese and English.
struct Texts {
    const char* zh;
    const char* en;
};
constexpr std::array<Texts, 4> kLevelNames{
    {{"直达音量", "Direct"}, {"混响音量", "Reverb"}, {"回声音量", "Echo"}, {"音乐音量", "Music"}}};

// Until the language file relabels them; in the order of kMuteIds.
constexpr std::array<Texts, 5> kMuteNames{{{"前置静音", "Main Mute"},
                                           {"中置静音", "Center Mute"},
                                           {"超低静音", "Sub Mute"},
                                           {"后置静音", "Rear Mute"},
                                           {"顶置静音", "Top Mute"}}};

// Shown types on the subwoofer grid with a family of their own.
bool isPassType(int shownType) {
    return shownType == kLowPass || shownType == kHighPass;
}

}  // namespace

// ---------------------------------------------------------------------------
// CPicture

CPicture::CPicture(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CPicture::setPicture(int id) {
    if (id == picture_.id()) return;
    picture_.load(id);
    setFixedHeight(picture_.height());
    updateGeometry();
    update();
}

void CPicture::paintEvent(QPaintEvent*) {
    if (picture_.isNull()) return;
    QPainter p(this);
    CGdiPlusBitmap scaled = picture_;
    const QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
    scaled.setSize(size);
    scaled.draw(p, QPointF((width() - size.width()) / 2.0, (height() - size.height()) / 2.0));
}

// ---------------------------------------------------------------------------
// CDialogOutput

const OutputGroup& CDialogOutput::groupOf(int channel) {
    return *infoOf(channel).group;
}

int CDialogOutput::pictureOf(int channel, int language) {
    const ChannelInfo& c = infoOf(channel);
    return language == kEnglish ? c.pictureEn : c.pictureZh;
}

CDialogOutput::CDialogOutput(CAppServices& app, int channel, QWidget* parent)
    : CEditorPage(PageKind::Output, app, parent), channel_(infoOf(channel).channel) {
    const int language = app.languageIndex();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);
    buttons_ = new CPageButtonRow(app, this);
    page->addWidget(buttons_);

    auto* body = new QHBoxLayout;
    body->setSpacing(12);
    page->addLayout(body, 1);

    // Left: the speaker, the mix levels and the mutes.
    auto* left = new QVBoxLayout;
    left->setSpacing(8);
    body->addLayout(left);
    picture_ = new CPicture(this);
    setControlId(picture_, kPictureId);
    left->addWidget(picture_);

    auto* levels = new QGridLayout;
    levels->setHorizontalSpacing(8);
    levels->setVerticalSpacing(6);
    for (int k = 0; k < 4; ++k) {
        const auto i = static_cast<std::size_t>(k);
        auto* caption = new QLabel(pick(language, kLevelNames[i].zh, kLevelNames[i].en), this);
        setControlId(caption, kFirstLevelCaptionId + k);
        auto* slider = new CXBmpSlider(this);
        slider->setControlId(kFirstLevelSliderId + k);
        setControlId(slider, kFirstLevelSliderId + k);
        slider->setBackgroundColor(QColor::fromRgb(kPageBackground));
        // Every channel's level runs over the same shown range.
        const ControlInfo& range = controlInfo(outSub.level(k));
        slider->setRange(static_cast<int>(range.lo) / range.shownDivisor,
                         static_cast<int>(range.hi) / range.shownDivisor);
        connect(slider, &CXBmpSlider::sliderChanged, this,
                [this, k](int, int position) { onLevel(k, position); });
        auto* label = new QLabel(QStringLiteral("0%"), this);
        setControlId(label, kFirstLevelLabelId + k);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("100%")) + 4);
        levels->addWidget(caption, k, 0);
        levels->addWidget(slider, k, 1);
        levels->addWidget(label, k, 2);
        levelCaptions_[i] = caption;
        levels_[i] = slider;
        levelLabels_[i] = label;
    }
    left->addLayout(levels);

    auto* muteGrid = new QGridLayout;
    muteGrid->setHorizontalSpacing(12);
    muteGrid->setVerticalSpacing(4);
    for (std::size_t i = 0; i < kMuteIds.size(); ++i) {
        auto* box = new QCheckBox(pick(language, kMuteNames[i].zh, kMuteNames[i].en), this);
        setControlId(box, kMuteIds[i]);
        const int index = static_cast<int>(i);
        connect(box, &QCheckBox::clicked, this, [this, index](bool on) { onMute(index, on); });
        muteGrid->addWidget(box, index / 2, index % 2);
        mutes_[i] = box;
    }
    mutes_[4]->hide();  // Top
    left->addLayout(muteGrid);
    left->addStretch(1);

    // Right: the channel's EQ; the family list under its grid.
    editor_ = new CEqEditor(app, this);
    editorLanguage_ = language;
    editor_->setGridStyle(EqGridStyle{QColor(0, 200, 255), QColor(20, 20, 20), 60});
    body->addWidget(editor_, 1);
    familyCaption_ = new QLabel(QStringLiteral("Type"), this);
    setControlId(familyCaption_, kFamilyCaptionId);
    families_ = new QComboBox(this);
    setControlId(families_, kFamilyListId);
    for (int f = 0; f < kCrossoverListEntries; ++f) {
        const std::string_view label = crossoverFamily(f).label;
        families_->addItem(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
    }
    editor_->buttonRow()->addWidget(familyCaption_);
    editor_->buttonRow()->addWidget(families_, 1);
    editor_->showButtonRow();
    familyCaption_->hide();
    families_->hide();
    connect(families_, &QComboBox::activated, this, &CDialogOutput::onFamily);
    // The list follows the point selected on the panel or clicked in the grid.
    connect(editor_, &CEqEditor::bandSelected, this, &CDialogOutput::showFamilyOf);
    connect(editor_, &CEqEditor::gridRowClicked, this, &CDialogOutput::showFamilyOf);
    connect(editor_, &CEqEditor::gridBandEdited, this, &CDialogOutput::showFamilyOf);
    connect(editor_, &CEqEditor::selectionCleared, this, [this] { showFamilyOf(-1); });

    // The wheel turns the focused control: the EQ panel, a level slider or
    // any control numbered above the mutes.
    wheel_ = new CWheelToFocus(this, [](QWidget* focus, QWheelEvent* event) {
        const int id = controlId(focus);
        const bool level = id >= kFirstLevelSliderId && id < kFirstLevelSliderId + 4;
        if (id != CEqEditor::kPanelId && !level && id <= kMuteIds[0]) return false;
        return CWheelToFocus::forwardWheel(focus, event);
    });

    ApplyLanguage();
}

void CDialogOutput::setChannel(int channel) {
    channel_ = infoOf(channel).channel;
    // Relabelled and reloaded (the language's step ends with the reload).
    ApplyLanguage();
}

void CDialogOutput::RefreshFromStore() {
    const ParamStore& store = app_.device().store;
    picture_->setPicture(pictureOf(channel_, app_.languageIndex()));
    refreshLevels();
    editor_->selectEq(channel_);
    showFamilyOf(-1);
    buttons_->setCurrent(PageKind::Output, channel_);
    for (std::size_t i = 0; i < kMuteIds.size(); ++i)
        mutes_[i]->setChecked(store.params.getInt(groupOf(kMuteChannels[i]).mute()) != 0);
}

void CDialogOutput::refreshLevels() {
    const OutputGroup& g = groupOf(channel_);
    const ParamBlock& params = app_.device().store.params;
    for (int k = 0; k < 4; ++k) {
        const int v = params.getInt(g.level(k)) / controlInfo(g.level(k)).shownDivisor;
        levels_[static_cast<std::size_t>(k)]->setPosition(v);
        levelLabels_[static_cast<std::size_t>(k)]->setText(
            QStringLiteral("%1%").arg(levels_[static_cast<std::size_t>(k)]->position()));
    }
}

void CDialogOutput::ApplyLanguage() {
    const int language = app_.languageIndex();
    for (std::size_t k = 0; k < 4; ++k)
        levelCaptions_[k]->setText(pick(language, kLevelNames[k].zh, kLevelNames[k].en));
    app_.ApplyDialogTexts(this, templateId());
    // The grid's titles and type names are rebuilt when the language changed.
    if (editorLanguage_ != language) {
        editorLanguage_ = language;
        editor_->ApplyLanguage();
    }
    RefreshFromStore();
}

void CDialogOutput::onLevel(int k, int position) {
    const OutputGroup& g = groupOf(channel_);
    // The slider shows the level divided as the control says (the
    // subwoofer's music level is held three times the slider).
    const ControlInfo& c = controlInfo(g.level(k));
    const int v = std::clamp(position, 0, static_cast<int>(c.hi) / c.shownDivisor);
    levelLabels_[static_cast<std::size_t>(k)]->setText(QStringLiteral("%1%").arg(v));
    app_.edits().applyIfChanges(wordEdit(app_.device().store, g.level(k), v * c.shownDivisor));
    // Top has no notice.
    if (channel_ != kEqTop && app_.device().store.params.getInt(g.mute()) != 0)
        app_.ShowInfo(pick(app_.languageIndex(), "当前是静音状态", "vol is mute"), 1100);
}

void CDialogOutput::onMute(int i, bool muted) {
    const auto index = static_cast<std::size_t>(i);
    const OutputGroup& g = groupOf(kMuteChannels[index]);
    app_.edits().applyIfChanges(wordEdit(app_.device().store, g.mute(), muted ? 1 : 0));
}

void CDialogOutput::onFamily(int family) {
    if (channel_ != kEqSub || familyPoint_ < 0) return;
    editor_->applyCrossoverFamily(family, familyPoint_);
    showFamilyOf(familyPoint_);
}

void CDialogOutput::showFamilyOf(int point) {
    bool shown = false;
    if (channel_ == kEqSub && point >= 0 && point < kSubPoints) {
        const SubPointShape shape =
            classifySubPoint(subPointTypes(editor_->model().bands(), point));
        shown = isPassType(shape.shownType);
        if (shown) families_->setCurrentIndex(shape.family);
    }
    familyPoint_ = shown ? point : -1;
    familyCaption_->setVisible(shown);
    families_->setVisible(shown);
}

void CDialogOutput::ToggleEqBypass() {
    editor_->toggleBypass();
}

bool CDialogOutput::IsEqBypassed() {
    return editor_->isBypassed();
}

void CDialogOutput::ResetEq() {
    editor_->reset();
    showFamilyOf(-1);
}

}  // namespace v36
