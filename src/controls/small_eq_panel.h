#pragma once

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QWidget>
#include <array>

#include "dsp/eq_model.h"

namespace v36 {

// A small preview of a seven-band EQ: a dark grid and the summed response as a
// 56-point line, with an optional grey veil and a "PASS" overlay. Bands are
// designed as the unit runs them. It frames itself while the pointer is over
// it and reports a click, nothing more.
class CSmallEqPanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kBands = 7;
    static constexpr int kPoints = 56;
    static constexpr int kMargin = 2;

    explicit CSmallEqPanel(QWidget* parent = nullptr);

    // A frequency of exactly 0 is ignored; others are held within 20 ... 20000 Hz.
    void setFrequency(int band, float freq);
    // Held within -15 ... +15 dB (0 for pass types).
    void setGain(int band, float gain);
    // Type codes 1 ... 7 are drawn; 0 and others contribute nothing.
    void setType(int band, int type);
    void setQ(int band, float q);
    const EqBand& band(int b) const { return bands_.at(static_cast<std::size_t>(b)); }

    void setPassOverlay(bool on);
    void setVeil(bool on);
    void setLineColor(QColor colour);
    QColor lineColor() const { return lineColour_; }
    bool isHovered() const { return hovered_; }

    // The summed curve in client pixels, and in dB.
    const std::array<QPoint, kPoints>& points() const { return points_; }
    std::array<float, kPoints> levels() const;
    // Frequency of point i (10 Hz ... about 22 kHz).
    double frequencyOf(int i) const;
    double xOfFrequency(double freq) const;
    double yOfGain(double gain) const;

    QSize sizeHint() const override { return {220, 110}; }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void resum();
    int pointX(int i) const;
    bool drawn(int b) const;

    std::array<EqBand, kBands> bands_{};
    std::array<QPoint, kPoints> points_{};
    std::array<float, kPoints> sum_{};
    bool pass_ = false;
    bool veil_ = false;
    bool hovered_ = false;
    QColor lineColour_{0x00, 0xC8, 0xFF};
    QFont passFont_;
};

}  // namespace v36
