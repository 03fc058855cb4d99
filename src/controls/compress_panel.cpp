#include "controls/compress_panel.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/control_fonts.h"
#include "controls/paint_support.h"

namespace v36 {

CCompressPanelPlus::CCompressPanelPlus(QWidget* parent) : QWidget(parent) {
    labelFont_ = controlFont(FontRole::Cjk, 12);
    offFont_ = controlFontPt(FontRole::CjkBold, 40);
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
}

void CCompressPanelPlus::setOn(bool on) {
    on_ = on;
    update();
}
void CCompressPanelPlus::setThreshold(float db) {
    threshold_ = db;
    update();
}
void CCompressPanelPlus::setKnee(float db) {
    knee_ = db;
    update();
}
void CCompressPanelPlus::setSlopeAboveThreshold(float slope) {
    slopeAbove_ = slope;
    update();
}
void CCompressPanelPlus::setSlopeBelowKnee(float slope) {
    slopeBelow_ = slope;
    update();
}
void CCompressPanelPlus::setGridColor(QColor colour) {
    grid_ = colour;
    update();
}
void CCompressPanelPlus::setLabelColor(QColor colour) {
    label_ = colour;
    update();
}

double CCompressPanelPlus::xOf(double db) const {
    return (db + 90.0) * (width() - 60) / 96.0 + 40.0;
}

double CCompressPanelPlus::yOf(double db) const {
    return std::fabs(db - 6.0) * (height() - 45) / 96.0 + 20.0;
}

CCompressPanelPlus::Geometry CCompressPanelPlus::geometry() const {
    const double hp = height() - 45;
    const double wp = width() - 60;
    const double t = threshold_;
    const double k = knee_;
    Geometry g;
    g.dot = QPointF(xOf(t), yOf(t));
    const QPointF kneePoint(xOf(k), yOf(k));
    const QPointF kneeStart(
        40.0, yOf(k) + std::fabs(-90.0 - k) * hp / 96.0 * static_cast<double>(slopeBelow_));
    g.belowKnee = k == -90.0 ? QLineF(kneePoint, kneePoint) : QLineF(kneeStart, kneePoint);
    g.linear = QLineF(kneePoint, g.dot);
    const QPointF end(wp + 40.0,
                      yOf(t) - std::fabs(6.0 - t) * hp / 96.0 * static_cast<double>(slopeAbove_));
    g.compressed = QLineF(g.dot, end);
    const double top = std::min(end.y(), kneeStart.y());
    const double bottom = std::max(end.y(), kneeStart.y());
    g.outputBand = QRectF(40.0, top, wp, bottom - top);
    return g;
}

std::vector<CCompressPanelPlus::Label> CCompressPanelPlus::gridLabels() const {
    const QFontMetrics fm(labelFont_);
    const LabelInk ink = labelInk(fm);
    constexpr int kGap = 2;
    LabelLayout layout(kGap);
    std::vector<Label> labels;
    const auto keep = [&](const QRect& box, const QString& text) {
        if (layout.place(box)) labels.push_back({box, text});
    };
    const auto rowText = [](int db) {
        return db > 0 ? QStringLiteral("+6dB") : QString::asprintf("%ddB", db);
    };
    // Row labels end 2 px left of the grid, centred on their lines.
    const auto rowBox = [&](int db) {
        const int w = fm.horizontalAdvance(rowText(db));
        return QRect(38 - w, static_cast<int>(yOf(db)) - ink.height / 2, w, ink.height);
    };
    const QRect zero = rowBox(0);
    keep(zero, rowText(0));
    keep(rowBox(-90), rowText(-90));
    QRect top = rowBox(6);
    if (!layout.isFree(top)) top.moveBottom(zero.top() - kGap - 1);
    if (top.top() >= 0) keep(top, rowText(6));
    for (int db = -10; db >= -80; db -= 10)
        keep(rowBox(db), rowText(db));

    // Column labels under the grid, below the lowest row label so that the
    // corner holds both.
    const int under =
        std::max(height() - 20, static_cast<int>(yOf(-90)) + ink.height / 2 + kGap + 1);
    for (const int db : {-90, 6, -10, -30, -50, -70}) {
        const QString text = QString::asprintf("%ddB", db);
        const int w = fm.horizontalAdvance(text);
        keep(QRect(static_cast<int>(xOf(db)) - w / 2, under, w, ink.height), text);
    }
    return labels;
}

void CCompressPanelPlus::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const int w = width();
    const int hp = height() - 45;

    // Grid and labels.
    p.setPen(QPen(grid_, 1));
    for (const double db : {6, 0, -10, -20, -30, -40, -50, -60, -70, -80, -90}) {
        const int y = static_cast<int>(yOf(db));
        p.drawLine(40, y, w - 20, y);
    }
    for (const double db : {-90, -70, -50, -30, -10, 6}) {
        const int x = static_cast<int>(xOf(db));
        p.drawLine(x, 20, x, hp + 20);
    }
    p.setFont(labelFont_);
    p.setPen(label_);
    const LabelInk ink = labelInk(QFontMetrics(labelFont_));
    for (const Label& label : gridLabels())
        p.drawText(QPoint(label.box.left(), label.box.top() + ink.ascent), label.text);

    // The curve.
    const Geometry g = geometry();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFF, 0x0A, 0x0A, 0xC8));
    p.drawEllipse(g.dot, 4.0, 4.0);
    QPen curve(QColor(0x00, 0xCF, 0xFF), 2.0);
    curve.setCapStyle(Qt::RoundCap);
    p.setPen(curve);
    p.setBrush(Qt::NoBrush);
    if (g.belowKnee.length() > 0.0) p.drawLine(g.belowKnee);
    p.drawLine(g.linear);
    p.drawLine(g.compressed);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x78, 0x78, 0x78, 0x41));
    p.drawRect(g.outputBand);

    if (!on_) {
        p.setFont(offFont_);
        p.setPen(QColor(0, 150, 255));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("OFF"));
    }
}

}  // namespace v36
