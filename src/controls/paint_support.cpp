#include "controls/paint_support.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPainter>

namespace v36 {

namespace {

void addSegments(QPainterPath& path, const QPointF* points, int count, double tension,
                 bool closed) {
    // Control points at 0.3 * tension of the neighbours' chord.
    const double k = 0.3 * tension;
    const auto at = [&](int i) {
        if (closed) return points[((i % count) + count) % count];
        return points[std::clamp(i, 0, count - 1)];
    };
    const int segments = closed ? count : count - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF p0 = at(i - 1);
        const QPointF p1 = at(i);
        const QPointF p2 = at(i + 1);
        const QPointF p3 = at(i + 2);
        path.cubicTo(p1 + (p2 - p0) * k, p2 - (p3 - p1) * k, p2);
    }
}

}  // namespace

QPainterPath cardinalSpline(const QPointF* points, int count, double tension, bool closed) {
    QPainterPath path;
    if (count <= 0) return path;
    path.moveTo(points[0]);
    addSegments(path, points, count, tension, closed);
    if (closed) path.closeSubpath();
    return path;
}

QPolygonF flattenedSpline(const QPointF* points, int count, double tension) {
    const QList<QPolygonF> parts =
        cardinalSpline(points, count, tension, false).toSubpathPolygons();
    return parts.isEmpty() ? QPolygonF() : parts.front();
}

double targetDevicePixelRatio(QPainter& painter) {
    const QPaintDevice* device =
        painter.paintEngine() != nullptr ? painter.paintEngine()->paintDevice() : nullptr;
    if (device == nullptr) device = painter.device();
    return device != nullptr ? device->devicePixelRatioF() : 1.0;
}

LabelInk labelInk(const QFontMetrics& metrics) {
    const QRect ink = metrics.tightBoundingRect(QStringLiteral("+-0123456789.dBm"));
    return {ink.height(), -ink.top()};
}

bool LabelLayout::isFree(const QRect& box) const {
    const QRect wide = box.adjusted(-gap_, -gap_, gap_, gap_);
    return std::none_of(boxes_.begin(), boxes_.end(),
                        [&](const QRect& kept) { return kept.intersects(wide); });
}

bool LabelLayout::place(const QRect& box) {
    if (!isFree(box)) return false;
    boxes_.push_back(box);
    return true;
}

}  // namespace v36
