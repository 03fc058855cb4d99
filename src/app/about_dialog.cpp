#include "app/about_dialog.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "app/app.h"
#include "app/icons.h"
#include "app/language.h"
#include "app/page.h"

namespace v36 {

CAboutDlg::CAboutDlg(CAppServices& app, QWidget* parent) : QDialog(parent), app_(app) {
    setProperty(kTemplateIdProperty, kTemplate);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kPageBackground));
    setPalette(palette);
    setAutoFillBackground(true);
    setWindowTitle(pick(app.languageIndex(), "关于 DSP-V36", "About DSP-V36"));

    auto* layout = new QHBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(shellPixmap(ShellPicture::ApplicationButton, 48, devicePixelRatioF()));
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    layout->addLayout(texts, 1);
    texts->addWidget(new QLabel(QString::fromUtf8(CKorvelv13App::kTitle), this));

    DeviceContext& ctx = app.device();
    const bool connected = app.isConnected();
    module_ = new QLabel(this);
    setControlId(module_, 1005);
    auto* dsp = new QLabel(this);
    setControlId(dsp, 1006);
    auto* mcu = new QLabel(this);
    setControlId(mcu, 1007);
    if (connected) {
        module_->setText(QStringLiteral("Module:%1")
                             .arg(QString::fromStdU16String(ctx.store.deviceModel.get())));
        mcu->setText(QStringLiteral("MCU Ver:%1 CMD Ver:%2")
                         .arg(QString::fromStdU16String(ctx.store.mcuVersion.get()))
                         .arg(int{ctx.store.protocolVersion.load()}, 2, 10, QLatin1Char('0')));
        dsp->setText(QStringLiteral("DSP Ver:%1")
                         .arg(QString::fromStdU16String(ctx.store.dspVersion.get())));
    }
    module_->hide();
    mcu->setVisible(connected);
    dsp->setVisible(connected);
    texts->addWidget(module_);
    texts->addWidget(mcu);
    texts->addWidget(dsp);

    peak_ = new QCheckBox(QStringLiteral("Peak"), this);
    setControlId(peak_, 1045);
    peak_->setChecked(app.levelPollEnable());
    peak_->hide();
    connect(peak_, &QCheckBox::clicked, this, [this](bool on) { app_.setLevelPollEnable(on); });
    texts->addWidget(peak_);
    texts->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    texts->addWidget(buttons);
}

bool CAboutDlg::revealed() const {
    return peak_->isVisibleTo(this);
}

void CAboutDlg::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F11 && (event->modifiers() & Qt::ControlModifier) &&
        (event->modifiers() & Qt::ShiftModifier)) {
        module_->show();
        peak_->show();
        event->accept();
        return;
    }
    QDialog::keyReleaseEvent(event);
}

}  // namespace v36
