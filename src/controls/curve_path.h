#pragma once

#include <QPainterPath>
#include <QPointF>
#include <algorithm>

namespace v36 {

// A cardinal spline through `count` points as cubic segments. `tension` 0 is
// a polyline; 0.5 is the usual smooth curve. A closed spline returns to the
// first point.
QPainterPath cardinalSpline(const QPointF* points, int count, double tension, bool closed);

// The y pixel of a curve value in dB on a +-15 dB plot whose 0 dB line is at
// `zeroY` and whose height is `height`; far-off values are held well outside
// the plot so that they still draw as steep lines.
inline double curveY(double zeroY, double height, float db) {
    const double y = zeroY - height * double{db} / 30.0;
    return std::clamp(y, -1.0e5, 1.0e5);
}

}  // namespace v36
