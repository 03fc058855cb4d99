#include "controls/peak_meter.h"

#include <QPainter>
#include <algorithm>

namespace v36 {

CPeakMeterCtrl::CPeakMeterCtrl(QWidget* parent) : QWidget(parent) {
    background_ = palette().color(QPalette::Button);
    bands_.resize(8);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &CPeakMeterCtrl::releaseTick);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPeakMeterCtrl::setMeterStyle(int style) {
    style_ = style;
    update();
}

void CPeakMeterCtrl::setBackgroundColor(QColor colour) {
    background_ = colour;
    update();
}

void CPeakMeterCtrl::setColors(const std::array<QColor, 3>& lit,
                               const std::array<QColor, 3>& unlit) {
    lit_ = lit;
    unlit_ = unlit;
    update();
}

void CPeakMeterCtrl::setRanges(int low, int middle, int range) {
    lowLimit_ = low;
    middleLimit_ = middle;
    range_ = std::max(1, range);
    update();
}

void CPeakMeterCtrl::setLedCount(int leds) {
    leds_ = std::max(1, leds);
    update();
}

void CPeakMeterCtrl::setPeakLine(bool on) {
    if (peakLine_ != on) {
        peakLine_ = on;
        update();
    }
}

void CPeakMeterCtrl::setBandCount(int bands) {
    bands_.assign(static_cast<std::size_t>(std::max(0, bands)), Band{range_, range_, holdTime_});
    update();
}

void CPeakMeterCtrl::startReleaseTimer(int periodMs) {
    if (releaseStarted_) return;
    releaseStarted_ = true;
    periodMs_ = std::max(1, periodMs);
    timer_.start(periodMs_);
}

void CPeakMeterCtrl::setData(std::span<const int> values, int first) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const long index = static_cast<long>(first) + static_cast<long>(i);
        if (index < 0 || index >= static_cast<long>(bands_.size())) continue;
        Band& b = bands_[static_cast<std::size_t>(index)];
        b.value = std::clamp(values[i], 0, range_);
        if (b.peak < b.value) {
            b.peak = b.value;
            b.hold = holdTime_;
        }
    }
    if (releaseStarted_) {
        timer_.stop();
        timer_.start(periodMs_);
    }
    update();
}

void CPeakMeterCtrl::releaseTick() {
    update();
    const int step = leds_ > 1 ? range_ / leds_ : range_ * 10 / 100;
    const int peakStep = leds_ > 1 ? step / 2 : 5;
    bool allZero = true;
    for (Band& b : bands_) {
        b.value = std::max(0, b.value - step);
        if (b.hold <= 1 && b.peak > 0) b.peak = std::max(0, b.peak - peakStep);
        if (b.hold > 0) --b.hold;
        if (b.value != 0 || b.peak != 0 || b.hold != 0) allZero = false;
    }
    if (allZero) timer_.stop();
}

int CPeakMeterCtrl::zoneOf(int led) const {
    const int lowLed = leds_ * lowLimit_ / range_;
    const int midLed = leds_ * middleLimit_ / range_;
    if (led < lowLed) return 0;
    if (led < midLed) return 1;
    return 2;
}

QColor CPeakMeterCtrl::ledColor(int led, int value) const {
    const int lit = leds_ * std::clamp(value, 0, range_) / range_;
    const auto zone = static_cast<std::size_t>(zoneOf(led));
    return led < lit ? lit_[zone] : unlit_[zone];
}

void CPeakMeterCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), background_);
    const int count = bandCount();
    if (count == 0) return;
    const bool manyLeds = leds_ > 1;
    const bool manyBands = count > 1;
    if ((style_ & kHorizontal) != 0) {
        const int rowH = height() / count;
        const int ledW = width() / leds_;
        for (int b = 0; b < count; ++b) {
            const int value = bands_[static_cast<std::size_t>(b)].value;
            for (int i = 0; i < leds_; ++i) {
                QRect r(i * ledW, b * rowH, ledW, rowH);
                if (manyLeds) r.setLeft(r.left() + 1);
                if (manyBands) r.adjust(0, 1, 0, -1);
                p.fillRect(r, ledColor(i, value));
            }
        }
        return;
    }
    // Vertical style: one column per band, LEDs stacked from the bottom.
    const int colW = width() / count;
    const int ledH = height() / leds_;
    for (int b = 0; b < count; ++b) {
        const Band& band = bands_[static_cast<std::size_t>(b)];
        for (int i = 0; i < leds_; ++i) {
            QRect r(b * colW, height() - (i + 1) * ledH, colW, ledH);
            if (manyLeds) r.setBottom(r.bottom() - 1);
            if (manyBands) r.adjust(1, 0, -1, 0);
            p.fillRect(r, ledColor(i, band.value));
        }
        if (peakLine_ && band.peak > 0) {
            const int peakLed = std::min(leds_, leds_ * band.peak / range_);
            const int y = height() - peakLed * ledH;
            p.fillRect(QRect(b * colW + 1, std::max(0, y), colW - 2, 2),
                       lit_[static_cast<std::size_t>(zoneOf(std::max(0, peakLed - 1)))]);
        }
    }
}

}  // namespace v36
