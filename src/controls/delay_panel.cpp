#include "controls/delay_panel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/control_fonts.h"

namespace v36 {

namespace {

struct LaneLook {
    const char* caption;
    const char* english;
    QColor captionColour;
    QColor laneColour;
};

const std::array<LaneLook, CDelayPanel::kLanes>& laneLooks() {
    static const std::array<LaneLook, CDelayPanel::kLanes> looks{{
        {"前置左(ML)", "Main L", QColor(227, 207, 87), QColor(227, 207, 87)},
        {"前置右(MR)", "Main R", QColor(227, 207, 87), QColor(176, 224, 230)},
        {"中置(C)", "Center", QColor(176, 224, 230), QColor(255, 153, 18)},
        {"超低(S)", "Sub", QColor(255, 153, 18), QColor(65, 105, 225)},
        {"后置左(RL)", "Rear L", QColor(65, 105, 225), QColor(235, 142, 85)},
        {"后置右(RR)", "Rear R", QColor(65, 105, 225), QColor(106, 90, 205)},
        {"顶置左(TL)", "Top L", QColor(235, 142, 85), QColor(65, 224, 208)},
        {"顶置右(TR)", "Top R", QColor(235, 142, 85), QColor(127, 255, 0)},
    }};
    return looks;
}

}  // namespace

CDelayPanel::CDelayPanel(QWidget* parent) : QWidget(parent), handle_(picture::kDelayHandle) {
    font_ = controlFont(FontRole::Cjk, 12);
    for (int i = 0; i < kLanes; ++i)
        lanes_[static_cast<std::size_t>(i)].number = i;
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
    layoutLanes();
}

void CDelayPanel::setLanguage(int language) {
    if (language == language_) return;
    language_ = language;
    update();
}

QString CDelayPanel::caption(int lane) const {
    const LaneLook& look = laneLooks().at(static_cast<std::size_t>(lane));
    return QString::fromUtf8(language_ == 1 ? look.english : look.caption);
}

QRect CDelayPanel::plotRect() const {
    return QRect(QPoint(kLeft, kTop), QPoint(width() - kRight - 1, height() - kBottom - 1));
}

int CDelayPanel::laneHeight() const {
    return (height() - 25) / kLanes;
}

int CDelayPanel::laneTop(int lane) const {
    return static_cast<int>(static_cast<double>(height() - 25) / kLanes * lane + 5 + 0.5);
}

int CDelayPanel::textHeight() const {
    return QFontMetrics(font_).height();
}

bool CDelayPanel::valueBelowHandle() const {
    // One free pixel above the handle and below the text, inside the lane lines.
    return laneHeight() >= handle_.height() + textHeight() + 4;
}

QSize CDelayPanel::minimumSizeHint() const {
    const int lane = handle_.height() + textHeight() + 4;
    // Scale labels 20 ms apart, each as wide as "100.0ms" and a gap.
    const int label = QFontMetrics(font_).horizontalAdvance(QStringLiteral("100.0ms")) + 8;
    const auto steps = static_cast<double>(scaleMax_ - scaleMin_) / 20.0;
    return {kLeft + kRight + static_cast<int>(std::ceil(steps * label)),
            kLanes * lane + 25 + kLanes};
}

QRect CDelayPanel::handleRect(int lane) const {
    const Lane& l = lanes_[static_cast<std::size_t>(lane)];
    return QRect(QPoint(l.handleX, handleY(lane)), handle_.size());
}

QRect CDelayPanel::valueTextRect(int lane) const {
    const Lane& l = lanes_[static_cast<std::size_t>(lane)];
    const QFontMetrics fm(font_);
    const int w = fm.horizontalAdvance(QString::asprintf("%.1fms", static_cast<double>(l.value)));
    const int h = fm.height();
    const QRect handle = handleRect(lane);
    const int rightLimit = width() - 2;
    if (valueBelowHandle()) {
        // Below the handle, moved left where it would leave the control.
        const int x = std::min(handle.left() + 2, rightLimit - w);
        return QRect(x, handle.bottom() + 1, w, h);
    }
    // Beside the handle, centred on it: right of it, or left where it does
    // not fit.
    const int y = handle.center().y() - h / 2;
    int x = handle.right() + 4;
    if (x + w > rightLimit) x = handle.left() - 4 - w;
    return QRect(x, y, w, h);
}

int CDelayPanel::valueToX(float ms) const {
    const float perMs = static_cast<float>(width() - 96) / (scaleMax_ - scaleMin_);
    return static_cast<int>(std::fabs(perMs * (ms - scaleMin_))) + kLeft;
}

float CDelayPanel::xToValue(int x) const {
    const float perMs = static_cast<float>(width() - 96) / (scaleMax_ - scaleMin_);
    if (perMs <= 0.0f) return scaleMin_;
    return static_cast<float>(x - kLeft) / perMs + scaleMin_;
}

void CDelayPanel::layoutLanes() {
    for (int i = 0; i < kLanes; ++i) {
        Lane& l = lanes_[static_cast<std::size_t>(i)];
        l.top = laneTop(i);
        l.handleX = valueToX(l.value);
    }
}

void CDelayPanel::setValue(int lane, float ms) {
    if (lane < 0 || lane >= kLanes) return;
    Lane& l = lanes_[static_cast<std::size_t>(lane)];
    l.value = std::clamp(ms, l.minimum, l.maximum);
    l.handleX = valueToX(l.value);
    update();
}

float CDelayPanel::value(int lane) const {
    if (lane < 0 || lane >= kLanes) return 0.0f;
    return lanes_[static_cast<std::size_t>(lane)].value;
}

// The handle and the text line below it are centred in the lane; in a lane
// too low for both, the handle alone.
int CDelayPanel::handleY(int lane) const {
    const int below = valueBelowHandle() ? textHeight() : 0;
    return laneTop(lane) + std::max(1, (laneHeight() - handle_.height() - below) / 2);
}

void CDelayPanel::resizeEvent(QResizeEvent*) {
    layoutLanes();
}

void CDelayPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(20, 20, 20));
    p.setFont(font_);
    const QRect plot = plotRect();
    const QFontMetrics fm(font_);
    const auto& looks = laneLooks();

    // Lane separators, the outer two brighter.
    for (int i = 0; i <= kLanes; ++i) {
        const int y = laneTop(i);
        p.setPen(QPen(i == 0 || i == kLanes ? QColor(128, 128, 128) : QColor(64, 64, 64), 1));
        p.drawLine(plot.left(), y, plot.right(), y);
    }
    // Captions right-aligned 5 px left of the plot.
    for (int i = 0; i < kLanes; ++i) {
        p.setPen(looks[static_cast<std::size_t>(i)].captionColour);
        const QRect box(0, laneTop(i), kLeft - 5, laneHeight());
        p.drawText(box, Qt::AlignRight | Qt::AlignVCenter | Qt::TextDontClip, caption(i));
    }
    // Scale labels every 20 ms; lines at the first and the last label.
    int firstX = -1;
    int lastX = -1;
    for (float v = scaleMin_; v <= scaleMax_; v += 20.0f) {
        const int x = valueToX(v);
        const QString text = QString::asprintf("%.1fms", static_cast<double>(v));
        const int w = fm.horizontalAdvance(text);
        p.setPen(Qt::white);
        p.drawText(QRect(x - w / 2 - 1, plot.bottom() + 1 + 5, w + 2, fm.height()), Qt::AlignCenter,
                   text);
        if (firstX < 0) firstX = x;
        lastX = x;
    }
    p.setPen(QPen(QColor(128, 128, 128), 1));
    if (firstX >= 0) {
        p.drawLine(firstX, plot.top(), firstX, plot.bottom());
        p.drawLine(lastX, plot.top(), lastX, plot.bottom());
    }

    // The lanes: dashed lead line, drop line, handle and value.
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int i = 0; i < kLanes; ++i) {
        const Lane& l = lanes_[static_cast<std::size_t>(i)];
        const QColor colour = looks[static_cast<std::size_t>(i)].laneColour;
        const QRect handle = handleRect(i);
        const int hy = handle.top();
        const double midY = hy + handle_.height() / 2.0;
        const QRect text = valueTextRect(i);
        // The lead line stops short of a value shown left of the handle.
        const double leadEnd = text.right() < handle.left() ? text.left() - 3 : l.handleX;
        QPen dashed(colour, 1.0, Qt::DashLine);
        p.setPen(dashed);
        if (leadEnd > plot.left()) p.drawLine(QPointF(plot.left(), midY), QPointF(leadEnd, midY));
        QColor drop = colour;
        drop.setAlpha(dragging_ && draggedLane_ == i ? 0x80 : 0x40);
        p.setPen(QPen(drop, 1.0));
        p.drawLine(QPointF(l.handleX + 0.5, midY), QPointF(l.handleX + 0.5, plot.bottom() + 1));
        handle_.draw(p, QPointF(l.handleX, hy));
        p.setPen(colour);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                   QString::asprintf("%.1fms", static_cast<double>(l.value)));
    }
}

void CDelayPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = true;
    draggedLane_ = -1;
    const QPoint at = event->position().toPoint();
    for (int i = 0; i < kLanes; ++i) {
        // Within 15 px of the handle's centre; the handle sits a little
        // above the lane's centre when its value is shown below it.
        const QPoint c = handleRect(i).center();
        const int cx = c.x();
        const int cy = c.y();
        if (std::abs(cx - at.x()) <= 15 && std::abs(cy - at.y()) <= 15) {
            draggedLane_ = i;
            break;
        }
    }
    update();
}

void CDelayPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || draggedLane_ < 0) return;
    Lane& l = lanes_[static_cast<std::size_t>(draggedLane_)];
    const int x = event->position().toPoint().x() - handle_.width() / 2;
    const float raw = xToValue(x);
    l.value = std::clamp(raw, l.minimum, l.maximum);
    // The handle follows the pointer; past either limit it rests at the limit.
    l.handleX = raw == l.value ? x : valueToX(l.value);
    emit delayDrag(draggedLane_, l.value);
    update();
}

void CDelayPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = false;
    update();
}

}  // namespace v36
