#include "controls/small_eq_panel.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/control_fonts.h"

namespace v36 {

namespace {

constexpr std::array<float, CSmallEqPanel::kBands> kDefaultHz{31, 62, 125, 250, 500, 1000, 2000};
const double kCurveDecades = std::log10(double{kCurveMaxHz} / double{kCurveMinHz});

}  // namespace

CSmallEqPanel::CSmallEqPanel(QWidget* parent) : QWidget(parent) {
    passFont_ = controlFont(FontRole::CjkBold, 32);
    for (std::size_t b = 0; b < bands_.size(); ++b) {
        EqBand& band = bands_[b];
        band.number = static_cast<std::int32_t>(b);
        band.type = kPeq;
        band.q = 1.414f;
        band.gain = 0.0f;
        band.freq = kDefaultHz[b];
        recomputeBand(static_cast<int>(b));
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    resize(sizeHint());
    resum();
}

bool CSmallEqPanel::drawn(int b) const {
    const int type = bands_[static_cast<std::size_t>(b)].type;
    return type >= 1 && type <= 7;
}

// Each band's response comes from the EQ model on its 512-point axis; the
// preview samples it at its own 56 frequencies.
void CSmallEqPanel::recomputeBand(int b) {
    EqBand& band = bands_[static_cast<std::size_t>(b)];
    if (drawn(b)) bandCurve(band, axis_, band.curve);
}

void CSmallEqPanel::setFrequency(int band, float freq) {
    if (band < 0 || band >= kBands || freq == 0.0f) return;
    setBandFrequency(bands_[static_cast<std::size_t>(band)], freq);
    recomputeBand(band);
    resum();
}

void CSmallEqPanel::setGain(int band, float gain) {
    if (band < 0 || band >= kBands) return;
    setBandGain(bands_[static_cast<std::size_t>(band)], gain);
    recomputeBand(band);
    resum();
}

void CSmallEqPanel::setType(int band, int type) {
    if (band < 0 || band >= kBands) return;
    EqBand& b = bands_[static_cast<std::size_t>(band)];
    b.type = type;  // the stored type as it is, without a type's defaults
    applyBandRules(b);
    recomputeBand(band);
    resum();
}

void CSmallEqPanel::setQ(int band, float q) {
    if (band < 0 || band >= kBands || std::fabs(q) < 1e-7f) return;
    EqBand& b = bands_[static_cast<std::size_t>(band)];
    b.q = q;
    applyBandRules(b);
    recomputeBand(band);
    resum();
}

void CSmallEqPanel::setPassOverlay(bool on) {
    pass_ = on;
    update();
}

void CSmallEqPanel::setVeil(bool on) {
    veil_ = on;
    update();
}

void CSmallEqPanel::setLineColor(QColor colour) {
    lineColour_ = colour;
    update();
}

int CSmallEqPanel::pointX(int i) const {
    const int w = width() - 2 * kMargin;
    return kMargin + w * i / kPoints;
}

double CSmallEqPanel::frequencyOf(int i) const {
    const int w = width() - 2 * kMargin;
    if (w <= 0) return 10.0;
    return std::trunc(10.0 * std::pow(10.0, 3.4 * (pointX(i) - kMargin) / w));
}

double CSmallEqPanel::xOfFrequency(double freq) const {
    return kMargin + std::log10(freq / 10.0) * (width() - 2 * kMargin) / 3.4;
}

double CSmallEqPanel::yOfGain(double gain) const {
    const double h = height() - 2 * kMargin;
    return kMargin + h / 2.0 - gain * h / 30.0;
}

std::array<float, CSmallEqPanel::kPoints> CSmallEqPanel::levels() const {
    return sum_;
}

void CSmallEqPanel::resum() {
    sum_.fill(0.0f);
    for (int i = 0; i < kPoints; ++i) {
        // Position of this frequency on the model's curve axis.
        const double f = frequencyOf(i);
        const double u = std::log10(f / double{kCurveMinHz}) / kCurveDecades * kCurvePoints;
        const double clamped = std::clamp(u, 0.0, static_cast<double>(kCurvePoints - 1));
        const auto lo = static_cast<std::size_t>(clamped);
        const std::size_t hi = std::min<std::size_t>(lo + 1, kCurvePoints - 1);
        const double t = clamped - static_cast<double>(lo);
        double total = 0.0;
        for (int b = 0; b < kBands; ++b) {
            if (!drawn(b)) continue;
            const Curve& c = bands_[static_cast<std::size_t>(b)].curve;
            total += double{c[lo]} * (1.0 - t) + double{c[hi]} * t;
        }
        sum_[static_cast<std::size_t>(i)] = static_cast<float>(total);
        const double y = std::clamp(yOfGain(total), -1.0e4, 1.0e4);
        points_[static_cast<std::size_t>(i)] = QPoint(pointX(i), static_cast<int>(y));
    }
    update();
}

void CSmallEqPanel::resizeEvent(QResizeEvent*) {
    resum();
}

void CSmallEqPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const int left = kMargin;
    const int right = width() - kMargin;
    const int top = kMargin;
    const int bottom = height() - kMargin;
    const auto hLine = [&](double db) {
        const double y = std::floor(yOfGain(db)) + 0.5;
        p.drawLine(QPointF(left, y), QPointF(right, y));
    };
    p.setPen(QPen(QColor(0x17, 0x17, 0x17), 1));
    for (int db = -15; db <= 15; ++db)
        hLine(db);
    for (int db = -15; db <= 15; db += 3) {
        p.setPen(
            QPen(db == -15 || db == 15 ? QColor(0x80, 0x80, 0x80) : QColor(0x40, 0x40, 0x40), 1));
        hLine(db);
    }
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    for (double decade = 10.0; decade <= 10000.0; decade *= 10.0) {
        for (int k = 1; k <= 9; ++k) {
            const double f = decade * k;
            if (f > 10000.0 && k > 1) break;
            const double x = std::floor(xOfFrequency(f)) + 0.5;
            p.drawLine(QPointF(x, top), QPointF(x, bottom));
        }
    }
    {
        const double x = std::floor(xOfFrequency(20000.0)) + 0.5;
        p.drawLine(QPointF(x, top), QPointF(x, bottom));
    }
    if (veil_) p.fillRect(rect(), QColor(0x60, 0x60, 0x60, 0x65));

    p.setRenderHint(QPainter::Antialiasing, true);
    p.save();
    p.setClipRect(QRect(QPoint(left, top), QPoint(right, bottom)));
    QPen pen(lineColour_, 1.7);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.drawPolyline(points_.data(), kPoints);
    p.restore();

    if (pass_) {
        p.setFont(passFont_);
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("PASS"));
    }
    if (hovered_) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(0, 255, 255), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CSmallEqPanel::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QWidget::enterEvent(event);
}

void CSmallEqPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!hovered_) {
        hovered_ = true;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void CSmallEqPanel::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QWidget::leaveEvent(event);
}

void CSmallEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

}  // namespace v36
