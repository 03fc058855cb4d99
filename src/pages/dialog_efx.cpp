#include "pages/dialog_efx.h"

#include <QBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QWheelEvent>

#include "controls/control_fonts.h"
#include "controls/image_button.h"
#include "controls/pictures.h"
#include "dsp/eq_model.h"
#include "pages/eq_editor.h"
#include "pages/page_support.h"

namespace v36 {

namespace {

const QColor kSkyBlue(0, 200, 255);
const QColor kGreen(0, 220, 0);

bool channelB(int eq) {
    return eq == kEqReverbB || eq == kEqEchoB;
}

}  // namespace

// ---------------------------------------------------------------------------
// CEqTitlePicture

CEqTitlePicture::CEqTitlePicture(QWidget* parent)
    : QWidget(parent), font_(controlFont(FontRole::CjkBold, 18)) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CEqTitlePicture::setTitle(const QString& title) {
    title_ = title;
    updateGeometry();
    update();
}

QSize CEqTitlePicture::sizeHint() const {
    const QFontMetrics fm(font_);
    return {std::max(220, fm.horizontalAdvance(title_) + 48), 36};
}

void CEqTitlePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, QColor(60, 66, 78));
    g.setColorAt(1.0, QColor(24, 26, 32));
    p.setPen(QPen(QColor(15, 15, 20), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(r, 6.0, 6.0);
    // An accent bar on the left, then the title.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 200, 0));
    p.drawRoundedRect(QRectF(8.0, 8.0, 5.0, r.height() - 16.0), 2.0, 2.0);
    p.setFont(font_);
    p.setPen(QColor(255, 255, 255));
    p.drawText(r.adjusted(22.0, 0.0, -10.0, 0.0), Qt::AlignVCenter | Qt::AlignLeft, title_);
}

// ---------------------------------------------------------------------------
// CDialogEfx

bool CDialogEfx::isEffectEq(int eq) {
    return eq == kEqReverbA || eq == kEqEchoA || eq == kEqReverbB || eq == kEqEchoB;
}

CDialogEfx::CDialogEfx(int eq, CAppServices& app, QWidget* parent)
    : CEditorPage(PageKind::Effects, app, parent), eq_(isEffectEq(eq) ? eq : kEqReverbA) {
    picture_ = new CEqTitlePicture(this);
    setControlId(picture_, kPictureId);
    back_ = new CGdipButton(this);
    back_->setControlId(kBackId);
    setControlId(back_, kBackId);
    back_->loadStandard(picture::kBackButton);
    back_->setCaptionColor(Qt::white);
    back_->setCaption(pick(app.languageIndex(), "返回", "Back"));
    back_->setFixedSize(back_->sizeHint());
    // Back to the music page, which still shows the channel it showed.
    connect(back_, &CGdipButton::clicked, this, [this] { app_.ShowPage(PageKind::Music, 0); });

    editor_ = new CEqEditor(app, this);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(picture_, 0, Qt::AlignVCenter);
    top->addStretch(1);
    top->addWidget(back_, 0, Qt::AlignTop);

    auto* page = new QVBoxLayout(this);
    // The back button keeps 2 px from the right edge at the top.
    page->setContentsMargins(8, 2, 2, 8);
    page->setSpacing(6);
    page->addLayout(top);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 6, 0);
    body->addWidget(editor_);
    page->addLayout(body, 1);

    wheel_ = new CWheelToFocus(this, [](QWidget* focus, QWheelEvent* event) {
        const int id = controlId(focus);
        if (id == CEqEditor::kPanelId ||
            (id >= CEqEditor::kGainSliderId && id <= CEqEditor::kQSliderId)) {
            return CWheelToFocus::forwardWheel(focus, event);
        }
        return false;
    });
    ApplyLanguage();
}

void CDialogEfx::setChannel(int eq) {
    if (!isEffectEq(eq)) return;
    eq_ = eq;
    ApplyLanguage();
}

void CDialogEfx::RefreshFromStore() {
    picture_->setTitle([this] {
        const std::string_view t = eqTitle(eq_, app_.languageIndex());
        return QString::fromUtf8(t.data(), static_cast<qsizetype>(t.size()));
    }());
    EqGridStyle style;
    style.rowText = channelB(eq_) ? kGreen : kSkyBlue;
    editor_->setGridStyle(style);
    editor_->selectEq(eq_);
}

void CDialogEfx::ApplyLanguage() {
    app_.ApplyDialogTexts(this, kTemplate);
    editor_->ApplyLanguage();
    RefreshFromStore();
}

void CDialogEfx::ToggleEqBypass() {
    editor_->toggleBypass();
}

bool CDialogEfx::IsEqBypassed() {
    return editor_->isBypassed();
}

void CDialogEfx::ResetEq() {
    editor_->reset();
}

}  // namespace v36
