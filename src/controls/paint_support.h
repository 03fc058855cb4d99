#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QRect>
#include <algorithm>
#include <vector>

class QFontMetrics;
class QPainter;

namespace v36 {

// A cardinal spline through `count` points as cubic segments. `tension` 0 is
// a polyline; 0.5 is the usual smooth curve. A closed spline returns to the
// first point.
QPainterPath cardinalSpline(const QPointF* points, int count, double tension, bool closed);

// The spline flattened to a polyline (what the painter strokes fastest).
QPolygonF flattenedSpline(const QPointF* points, int count, double tension);

// The device pixel ratio of what a painter really paints on: a widget's
// backing store, or an image the widget is rendered into.
double targetDevicePixelRatio(QPainter& painter);

// The y pixel of a curve value in dB on a +-15 dB plot spanning `top` to
// `bottom`. Values far off the plot are held two plot heights beyond it, so
// that they still draw as steep lines without huge coordinates.
inline double curveY(double top, double bottom, float db) {
    const double h = bottom - top;
    const double y = top + h * (15.0 - static_cast<double>(db)) / 30.0;
    return std::clamp(y, top - 2.0 * h, bottom + 2.0 * h);
}

// The glyph box of short axis labels (digits, signs, "m", "dB") in a font:
// the height of their ink and the distance from its top to the baseline.
// Labels laid out by their ink sit as close as they can without touching.
struct LabelInk {
    int height = 0;
    int ascent = 0;
};
LabelInk labelInk(const QFontMetrics& metrics);

// Axis labels that must stay readable: a label is kept only where its box,
// widened by the gap, touches no label kept before it. Place the labels that
// matter most first (the ends of an axis), the others after them.
class LabelLayout {
  public:
    explicit LabelLayout(int gap = 2) : gap_(gap) {}
    bool isFree(const QRect& box) const;
    // Keeps the box when it is free.
    bool place(const QRect& box);
    const std::vector<QRect>& boxes() const { return boxes_; }

  private:
    int gap_;
    std::vector<QRect> boxes_;
};

}  // namespace v36
