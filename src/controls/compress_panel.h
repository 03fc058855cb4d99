#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <vector>

namespace v36 {

// A compressor's static transfer curve on a -90 ... +6 dB grid: 1:1 up to the
// threshold, 1/ratio above it, and a band showing the output range.
class CCompressPanelPlus : public QWidget {
    Q_OBJECT
  public:
    // The drawn pieces, in client pixels.
    struct Geometry {
        QPointF dot;        // centre of the threshold dot
        QLineF belowKnee;   // empty (zero length) when the knee is at -90 dB
        QLineF linear;      // knee to threshold
        QLineF compressed;  // threshold to +6 dB input
        QRectF outputBand;  // the translucent output range
    };

    explicit CCompressPanelPlus(QWidget* parent = nullptr);

    void setOn(bool on);
    bool isOn() const { return on_; }
    void setThreshold(float db);
    float threshold() const { return threshold_; }
    void setKnee(float db);
    void setSlopeAboveThreshold(float slope);  // 1 / ratio
    void setSlopeBelowKnee(float slope);
    void setGridColor(QColor colour);
    void setLabelColor(QColor colour);

    // x and y of a level in dB, for the current size.
    double xOf(double db) const;
    double yOf(double db) const;
    Geometry geometry() const;

    // A label of the grid: its text and the box its glyphs fill.
    struct Label {
        QRect box;
        QString text;
    };
    // The labels as they are drawn: the ends of both axes and 0 dB always
    // ("+6dB" lifted clear of "0dB" where the two rows are close), the other
    // rows and columns where they touch no other label.
    std::vector<Label> gridLabels() const;

    QSize sizeHint() const override { return {360, 260}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool on_ = false;
    float threshold_ = -15.0f;
    float knee_ = -5.0f;
    float slopeAbove_ = 1.0f;
    float slopeBelow_ = 1.0f;
    QColor grid_{0, 110, 0};
    QColor label_{255, 255, 0};
    QFont labelFont_;
    QFont offFont_;
};

}  // namespace v36
