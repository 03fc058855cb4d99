#include "pages/page_buttons.h"

#include <QHBoxLayout>

#include "app/language.h"
#include "controls/image_button.h"
#include "controls/pictures.h"

namespace v36 {

namespace {

struct Target {
    PageKind kind;
    int channel;
    const char* zh;
    const char* en;
};

// By control id, from 1069; the captions until the language file relabels them.
constexpr Target kTargets[CPageButtonRow::kButtons] = {
    {PageKind::Output, 5, "前置音箱", "Main"},         {PageKind::Output, 3, "中置音箱", "Center"},
    {PageKind::Output, 2, "超低音箱", "Sub"},          {PageKind::Output, 4, "后置音箱", "Rear"},
    {PageKind::SoundField, 0, "声场定位", "Location"}, {PageKind::Delay, 0, "延时调整", "Delay"},
    {PageKind::Compressor, 0, "输出压限", "Comp"},     {PageKind::Output, 11, "顶置音箱", "Top"},
};

const Target* targetOf(int id) {
    if (id < CPageButtonRow::kFirstId || id > CPageButtonRow::kTopId) return nullptr;
    return &kTargets[id - CPageButtonRow::kFirstId];
}

}  // namespace

CPageButtonRow::CPageButtonRow(CAppServices& app, QWidget* parent) : QWidget(parent), app_(app) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (int i = 0; i < kButtons; ++i) {
        const int id = kFirstId + i;
        auto* b = new CGdipButton(this);
        b->setControlId(id);
        setControlId(b, id);
        b->loadStandard(picture::kNavButton);
        b->loadAlternate(picture::kNavButtonSelected);
        b->setCaption(pick(app.languageIndex(), kTargets[i].zh, kTargets[i].en));
        b->setMinimumWidth(kMinButtonWidth);
        b->setMaximumWidth(b->sizeHint().width());
        b->setFixedHeight(b->sizeHint().height());
        b->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        if (id == kTopId) b->hide();
        connect(b, &CGdipButton::clicked, this,
                [this, id] { app_.ShowPage(targetKind(id), targetChannel(id)); });
        buttons_[static_cast<std::size_t>(i)] = b;
        row->addWidget(b);
    }
    row->addStretch(1);
}

void CPageButtonRow::setCurrent(PageKind kind, int channel) {
    currentId_ = idFor(kind, channel);
    for (int i = 0; i < kButtons; ++i)
        buttons_[static_cast<std::size_t>(i)]->setAlternate(kFirstId + i == currentId_);
}

CGdipButton* CPageButtonRow::button(int id) const {
    if (!targetOf(id)) return nullptr;
    return buttons_[static_cast<std::size_t>(id - kFirstId)];
}

PageKind CPageButtonRow::targetKind(int id) {
    const Target* t = targetOf(id);
    return t ? t->kind : PageKind::Output;
}

int CPageButtonRow::targetChannel(int id) {
    const Target* t = targetOf(id);
    return t ? t->channel : 0;
}

int CPageButtonRow::idFor(PageKind kind, int channel) {
    for (int i = 0; i < kButtons; ++i) {
        const Target& t = kTargets[i];
        if (t.kind == kind && (kind != PageKind::Output || t.channel == channel))
            return kFirstId + i;
    }
    return 0;
}

}  // namespace v36
