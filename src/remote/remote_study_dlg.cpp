#include "remote/remote_study_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "app/language.h"
#include "context/device_context.h"
#include "controls/control_fonts.h"
#include "controls/image_button.h"
#include "protocol/report.h"
#include "remote/remote_keys.h"

namespace v36 {

CRemoteStudyDlg::CRemoteStudyDlg(int key, CAppServices& app, QWidget* parent)
    : CToolDialog(ToolDialog::RemoteKeyLearning, app, parent), key_(key) {
    const int lang = app.languageIndex();
    setWindowTitle(pick(lang, "键码学习中...", "Learning"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    layout->setSpacing(10);

    // The key being learned, in place of "您当前学习的按键是:".
    keyText_ = new QLabel(learningText(key, lang).trimmed(), this);
    QFont bold = keyText_->font();
    bold.setBold(true);
    keyText_->setFont(bold);
    keyText_->setMinimumWidth(320);
    layout->addWidget(keyText_);
    auto* instruction = new QLabel(this);
    setControlId(instruction, 1007);
    layout->addWidget(instruction);

    code_ = new QLineEdit(this);
    setControlId(code_, 1038);
    code_->setReadOnly(true);
    code_->setAlignment(Qt::AlignCenter);
    code_->setFont(controlFont(FontRole::Latin, 22, QFont::Bold));
    code_->setFixedWidth(120);
    code_->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(code_, 0, Qt::AlignHCenter);

    closing_ = new QLabel(pick(lang, "窗口将自动关闭", "Window will be closed!"), this);
    closing_->setAlignment(Qt::AlignCenter);
    closing_->setVisible(false);
    layout->addWidget(closing_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    giveUp_ = new CGdipButton(this);
    close_ = new CGdipButton(this);
    for (auto [b, id] : {std::pair{giveUp_, 3}, std::pair{close_, 1}}) {
        b->setControlId(id);
        setControlId(b, id);
        b->loadStandard(picture::kActionButton);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    close_->setVisible(false);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &QDialog::accept);
    connect(giveUp_, &QAbstractButton::clicked, this, &CRemoteStudyDlg::reject);
    connect(close_, &QAbstractButton::clicked, this, &QDialog::accept);
    ApplyLanguage();
}

void CRemoteStudyDlg::OnRemoteEvent(int code) {
    if (received_) return;
    received_ = true;
    code_->setText(QString::asprintf("%02X", static_cast<unsigned>(code & 0xFF)));
    giveUp_->setVisible(false);
    close_->setVisible(true);
    closing_->setVisible(true);
    timer_->start(kCloseDelayMs);
}

void CRemoteStudyDlg::reject() {
    // Once a code is in, the unit has stopped learning: Escape only closes.
    if (!received_) giveUp();
    QDialog::reject();
}

void CRemoteStudyDlg::giveUp() {
    // The unit does not answer while it learns: let the stop go without
    // waiting for that answer.
    app_.postWrite([](Senders& senders) {
        senders.link().responseEvent.set();
        senders.sendCommand({cmd::kStopLearn});
    });
}

}  // namespace v36
