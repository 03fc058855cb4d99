#include "app/info_dialog.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "app/icons.h"
#include "app/language.h"
#include "app/page.h"

namespace v36 {

CInfoDlg::CInfoDlg(int lang) : QDialog(nullptr) {
    setProperty(kTemplateIdProperty, kTemplate);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kPageBackground));
    setPalette(palette);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 10);
    auto* row = new QHBoxLayout;
    auto* picture = new QLabel(this);
    setControlId(picture, 345);
    picture->setPixmap(shellPixmap(ShellPicture::Information, 32, devicePixelRatioF()));
    label_ = new QLabel(this);
    setControlId(label_, kTextId);
    label_->setAlignment(Qt::AlignCenter);
    label_->setMinimumWidth(400);
    label_->setWordWrap(true);
    QFont font = label_->font();  // the system's face; CJK glyphs fall back
    font.setPixelSize(18);
    font.setWeight(QFont::Medium);
    label_->setFont(font);
    row->addWidget(picture);
    row->addWidget(label_, 1);
    layout->addLayout(row);
    close_ = new QPushButton(this);
    setControlId(close_, 2);
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::close);
    layout->addWidget(close_, 0, Qt::AlignRight);

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &QDialog::close);
    setLanguage(lang);
}

void CInfoDlg::setLanguage(int lang) {
    setWindowTitle(pick(lang, "信息", "Information"));
    close_->setText(pick(lang, "关闭", "Close"));
}

void CInfoDlg::showText(const QString& text, int milliseconds) {
    label_->setText(text);
    adjustSize();
    if (!isVisible()) {
        // Centred on its window, kept on that window's screen.
        const QWidget* over = anchor_ && anchor_->isVisible() ? anchor_.data() : nullptr;
        const QScreen* screen = over ? over->screen() : this->screen();
        const QRect area = screen ? screen->availableGeometry() : QRect();
        QRect frame = frameGeometry();
        frame.moveCenter(over ? over->frameGeometry().center() : area.center());
        if (area.isValid()) {
            frame.moveLeft(
                std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width())));
            frame.moveTop(
                std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height())));
        }
        move(frame.topLeft());
    }
    show();
    raise();
    timer_->start(milliseconds);
}

QString CInfoDlg::text() const {
    return label_->text();
}

void CInfoDlg::accept() {}

}  // namespace v36
