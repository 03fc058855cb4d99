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

void CSmallEqPanel::setFrequency(int band, float freq) {
    if (band < 0 || band >= kBands || freq == 0.0f) return;
    setBandFrequency(bands_[static_cast<std::size_t>(band)], freq);
    resum();
}

void CSmallEqPanel::setGain(int band, float gain) {
    if (band < 0 || band >= kBands) return;
    setBandGain(bands_[static_cast<std::size_t>(band)], gain);
    resum();
}

void CSmallEqPanel::setType(int band, int type) {
    if (band < 0 || band >= kBands) return;
    EqBand& b = bands_[static_cast<std::size_t>(band)];
    b.type = type;  // the stored type as it is, without a type's defaults
    applyBandRules(b);
    resum();
}

void CSmallEqPanel::setQ(int band, float q) {
    if (band < 0 || band >= kBands || std::fabs(q) < 1e-7f) return;
    EqBand& b = bands_[static_cast<std::size_t>(band)];
    b.q = q;
    applyBandRules(b);
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
    std::array<double, kPoints> freqs{};
    for (int i = 0; i < kPoints; ++i)
        freqs[static_cast<std::size_t>(i)] = frequencyOf(i);
    // Each band is evaluated at the preview's own frequencies, from 10 Hz
    // up, and rounded to 0.1 dB before it is added.
    for (int b = 0; b < kBands; ++b) {
        if (!drawn(b)) continue;
        const EqBand& band = bands_[static_cast<std::size_t>(b)];
        const SectionCoefficients c =
            DesignSection(band.type, band.freq, band.q, band.gain, kSampleRate);
        for (std::size_t i = 0; i < freqs.size(); ++i) {
            const double level = sectionLevelDb(c, freqs[i]);
            sum_[i] += static_cast<float>(std::trunc(10.0 * level + 0.5) / 10.0);
        }
    }
    for (int i = 0; i < kPoints; ++i) {
        const double y = std::clamp(yOfGain(sum_[static_cast<std::size_t>(i)]), -1.0e4, 1.0e4);
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
