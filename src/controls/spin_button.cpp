#include "controls/spin_button.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace v36 {

CSpinButton::CSpinButton(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    repeat_.setSingleShot(false);
    connect(&repeat_, &QTimer::timeout, this, &CSpinButton::repeatStep);
}

void CSpinButton::setRange(int minimum, int maximum) {
    minimum_ = std::min(minimum, maximum);
    maximum_ = std::max(minimum, maximum);
}

int CSpinButton::stepped(int delta) const {
    return std::clamp(position_ + delta, minimum_, maximum_);
}

void CSpinButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const double w = width();
    const double half = height() / 2.0;
    const bool enabled = isEnabled();
    for (const int part : {1, -1}) {
        const QRectF box(0.5, part > 0 ? 0.5 : half + 0.5, w - 1.0, half - 1.0);
        const bool down = held_ == part;
        QLinearGradient fill(box.topLeft(), box.bottomLeft());
        fill.setColorAt(0.0, down ? QColor(196, 210, 228) : QColor(252, 253, 255));
        fill.setColorAt(1.0, down ? QColor(170, 188, 212) : QColor(222, 230, 240));
        p.setPen(QPen(enabled ? QColor(120, 136, 160) : QColor(180, 184, 190), 1.0));
        p.setBrush(fill);
        p.drawRoundedRect(box, 2.0, 2.0);
        // The arrow, a third of the half's height.
        const double a = std::max(2.0, std::min(w, half) / 3.0);
        const QPointF c = box.center() + (down ? QPointF(0.5, 0.5) : QPointF());
        QPainterPath arrow;
        arrow.moveTo(c.x() - a, c.y() + part * a / 2.0);
        arrow.lineTo(c.x() + a, c.y() + part * a / 2.0);
        arrow.lineTo(c.x(), c.y() - part * a / 2.0);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(enabled ? QColor(30, 40, 60) : QColor(160, 164, 170));
        p.drawPath(arrow);
    }
}

void CSpinButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) return;
    held_ = event->position().y() < height() / 2.0 ? 1 : -1;
    update();
    repeat_.start(kRepeatDelayMs);
    emit deltaPos(held_);
}

void CSpinButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    held_ = 0;
    repeat_.stop();
    update();
}

void CSpinButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        held_ = 0;
        repeat_.stop();
        update();
    }
    QWidget::changeEvent(event);
}

void CSpinButton::repeatStep() {
    if (held_ == 0) {
        repeat_.stop();
        return;
    }
    repeat_.setInterval(kRepeatIntervalMs);
    emit deltaPos(held_);
}

}  // namespace v36
