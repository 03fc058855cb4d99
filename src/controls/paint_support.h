#pragma once

#include <QPainterPath>
#include <QPolygonF>

class QPainter;
#include <QPointF>
#include <algorithm>

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
    const double y = top + h * (15.0 - double{db}) / 30.0;
    return std::clamp(y, top - 2.0 * h, bottom + 2.0 * h);
}

}  // namespace v36
