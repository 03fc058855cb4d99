#include "controls/bmp_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace v36 {

CXBmpSlider::CXBmpSlider(QWidget* parent, Orientation orientation)
    : QWidget(parent), orientation_(orientation) {
    setFocusPolicy(Qt::StrongFocus);
    if (isVertical()) {
        loadPictures(picture::kSliderTrackVertical, picture::kSliderFillVertical,
                     picture::kSliderThumb, picture::kSliderThumbFocused,
                     picture::kSliderThumbDisabled);
        startMargin_ = 1;
        endMargin_ = 0;
        crossOffset_ = 2;
        bottomMargin_ = 2;
    } else {
        loadPictures(picture::kSliderTrack, picture::kSliderFill, picture::kSliderThumb,
                     picture::kSliderThumbFocused, picture::kSliderThumbDisabled);
    }
}

void CXBmpSlider::setRange(int minimum, int maximum) {
    if (maximum < minimum) std::swap(minimum, maximum);
    minimum_ = minimum;
    maximum_ = maximum;
    position_ = clamp(position_);
    update();
}

void CXBmpSlider::setPosition(int position) {
    position_ = clamp(position);
    update();
}

int CXBmpSlider::clamp(int position) const {
    return std::clamp(position, minimum_, maximum_);
}

bool CXBmpSlider::loadPictures(int track, int fill, int thumbNormal, int thumbFocused,
                               int thumbDisabled) {
    bool ok = true;
    const auto load = [&ok](CGdiPlusBitmapResource& holder, int id) {
        if (id != 0) ok = holder.load(id) && ok;
    };
    load(track_, track);
    load(fill_, fill);
    load(thumbNormal_, thumbNormal);
    load(thumbFocused_, thumbFocused);
    load(thumbDisabled_, thumbDisabled);
    updateFixedSize();
    update();
    return ok;
}

void CXBmpSlider::setTrackSize(QSize size) {
    track_.setSize(size);
    fill_.setSize(size);
    updateFixedSize();
    update();
}

void CXBmpSlider::updateFixedSize() {
    if (!track_.isNull()) setFixedSize(track_.size());
}

void CXBmpSlider::setMargins(int start, int end, int cross, int bottom) {
    startMargin_ = start;
    endMargin_ = end;
    crossOffset_ = cross;
    bottomMargin_ = bottom;
    update();
}

void CXBmpSlider::setBackgroundColor(QColor colour) {
    background_ = colour;
    update();
}

QSize CXBmpSlider::sizeHint() const {
    return track_.isNull() ? QSize(131, 22) : track_.size();
}

// Pixel arithmetic in single precision, truncated, as the thumb has always been
// placed. An empty range keeps the thumb at the start of its travel.
int CXBmpSlider::positionToPixel(int position) const {
    const int span = maximum_ - minimum_;
    const int tw = thumbNormal_.width();
    const int th = thumbNormal_.height();
    if (!isVertical()) {
        if (span == 0) return startMargin_;
        const float perUnit =
            static_cast<float>(width() - tw - endMargin_ - startMargin_) / static_cast<float>(span);
        return static_cast<int>(perUnit * static_cast<float>(position - minimum_) +
                                static_cast<float>(startMargin_));
    }
    if (span == 0) return crossOffset_;
    const float perUnit =
        static_cast<float>(height() - th - bottomMargin_ - crossOffset_) / static_cast<float>(span);
    return static_cast<int>(perUnit * static_cast<float>(maximum_ - position) +
                            static_cast<float>(crossOffset_));
}

int CXBmpSlider::pixelToPosition(int pixel) const {
    const int span = maximum_ - minimum_;
    const int tw = thumbNormal_.width();
    const int th = thumbNormal_.height();
    if (span == 0) return minimum_;
    if (!isVertical()) {
        const float perUnit =
            static_cast<float>(width() - tw - endMargin_ - startMargin_) / static_cast<float>(span);
        if (perUnit <= 0.0f) return minimum_;
        return static_cast<int>(static_cast<float>(pixel - startMargin_) / perUnit) + minimum_;
    }
    const float perUnit =
        static_cast<float>(height() - th - bottomMargin_ - crossOffset_) / static_cast<float>(span);
    if (perUnit <= 0.0f) return maximum_;
    return maximum_ - static_cast<int>(static_cast<float>(pixel - crossOffset_) / perUnit);
}

QRect CXBmpSlider::thumbRect() const {
    const QSize ts = thumbNormal_.size();
    if (isVertical()) return QRect(QPoint(startMargin_, positionToPixel(position_)), ts);
    return QRect(QPoint(positionToPixel(position_), crossOffset_), ts);
}

void CXBmpSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    track_.draw(p, QPointF(0, 0));
    const int thumb = positionToPixel(position_);
    if (isVertical()) {
        fill_.drawPart(p, QPointF(0, 0), QRectF(0, thumb, width(), height() - thumb));
    } else {
        fill_.drawPart(p, QPointF(0, 0), QRectF(0, 0, thumb, height()));
    }
    const CGdiPlusBitmap& picture =
        !isEnabled() ? thumbDisabled_ : (focused_ ? thumbFocused_ : thumbNormal_);
    picture.draw(p, QPointF(thumbRect().topLeft()));
}

void CXBmpSlider::step(int delta) {
    position_ = clamp(position_ + delta);
    update();
}

void CXBmpSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    const QRect thumb = thumbRect();
    if (thumb.contains(at)) {
        dragging_ = true;  // the press grabs the pointer until the release
    } else if (isVertical()) {
        step(at.y() > thumb.center().y() ? -1 : +1);
    } else {
        step(at.x() <= thumb.center().x() ? -1 : +1);
    }
    emit sliderChanged(controlId_, position_);
}

void CXBmpSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    const QPoint at = event->position().toPoint();
    const int pixel =
        isVertical() ? at.y() - thumbNormal_.height() / 2 : at.x() - thumbNormal_.width() / 2;
    position_ = clamp(pixelToPosition(pixel));
    update();
    emit sliderChanged(controlId_, position_);
}

void CXBmpSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = false;
    emit sliderReleased(controlId_, position_);
}

void CXBmpSlider::keyPressEvent(QKeyEvent* event) {
    int delta = 0;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Right:
            delta = 1;
            break;
        case Qt::Key_Left:
        case Qt::Key_Down:
            delta = -1;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    if (!isEnabled()) return;
    step(delta);
    emit sliderChanged(controlId_, position_);
    emit sliderReleased(controlId_, position_);
}

void CXBmpSlider::wheelEvent(QWheelEvent* event) {
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    const QPoint delta = event->angleDelta();
    const int d = delta.y() != 0 ? delta.y() : delta.x();
    step(d < 0 ? -1 : (d > 0 ? 1 : 0));
    emit sliderChanged(controlId_, position_);
    emit sliderReleased(controlId_, position_);
}

void CXBmpSlider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    emit sliderFocus(controlId_);
    focused_ = true;
    update();
}

void CXBmpSlider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    focused_ = false;
    update();
}

void CXBmpSlider::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) dragging_ = false;
        update();
    }
    QWidget::changeEvent(event);
}

}  // namespace v36
