#include "app/sync_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/language.h"
#include "app/page.h"

namespace v36 {

CSynDlg::CSynDlg(const QString& text, int lang, int timeoutMs, QWidget* parent) : QDialog(parent) {
    setProperty(kTemplateIdProperty, kTemplate);
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kPageBackground));
    setPalette(palette);
    setAutoFillBackground(true);
    setCursor(Qt::WaitCursor);
    setWindowTitle(pick(lang, "同步过程", "Synchronize"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(10);
    bar_ = new QProgressBar(this);
    setControlId(bar_, kProgressId);
    bar_->setRange(0, 0);  // busy until the total is known
    bar_->setTextVisible(false);
    bar_->setFixedSize(320, 16);
    label_ = new QLabel(this);
    setControlId(label_, kTextId);
    label_->setText(
        text.isEmpty() ? pick(lang, "当前正在与机器同步数据,请稍后......", "Please wait a moment……")
                       : text);
    layout->addWidget(bar_);
    layout->addWidget(label_);
    adjustSize();

    timeout_ = new QTimer(this);
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        timedOut_ = true;
        emit timedOutSignal();
        end();
    });
    timeout_->start(timeoutMs);
}

void CSynDlg::end() {
    timeout_->stop();
    QDialog::reject();
    deleteLater();
}

QString CSynDlg::text() const {
    return label_->text();
}

void CSynDlg::setProgress(int done, int total) {
    if (total <= 0) return;
    if (bar_->maximum() != total) bar_->setRange(0, total);
    bar_->setValue(done < total ? done : total);
}

int CSynDlg::progressValue() const {
    return bar_->value();
}
int CSynDlg::progressMaximum() const {
    return bar_->maximum();
}

void CSynDlg::reject() {}
void CSynDlg::accept() {}

void CSynDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
}

}  // namespace v36
