#include "controls/ss_volume_panel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/control_fonts.h"

namespace v36 {

namespace {

struct ItemLook {
    const char* name;
    QColor colour;
};

const std::array<ItemLook, CSSVolumePanel::kItems>& itemLooks() {
    static const std::array<ItemLook, CSSVolumePanel::kItems> looks{{
        {"", QColor(127, 255, 0)},
        {"前置左(ML)", QColor(227, 207, 87)},
        {"中置(C)", QColor(176, 224, 230)},
        {"前置右(MR)", QColor(227, 207, 87)},
        {"后置左(RL)", QColor(65, 105, 225)},
        {"超低(S)", QColor(235, 142, 85)},
        {"后置右(RR)", QColor(65, 105, 225)},
        {"顶置左(TL)", QColor(255, 153, 18)},
        {"顶置右(TR)", QColor(255, 153, 18)},
    }};
    return looks;
}

constexpr std::array<std::array<float, 2>, CSSVolumePanel::kItems> kInitial{{
    {0.0f, 0.0f},
    {-1.0f, 1.0f},
    {0.0f, 1.0f},
    {1.0f, 1.0f},
    {-1.0f, -1.0f},
    {0.0f, -1.0f},
    {1.0f, -1.0f},
    {-0.5f, 0.5f},
    {0.5f, 0.0f},
}};

}  // namespace

CSSVolumePanel::CSSVolumePanel(QWidget* parent)
    : QWidget(parent), listener_(picture::kListener), speaker_(picture::kSpeaker) {
    labelFont_ = controlFont(FontRole::Latin, 13);
    labelFont_.setStretch(QFont::SemiCondensed);
    numberFont_ = controlFont(FontRole::Latin, 12, QFont::Bold);
    nameFont_ = controlFontPt(FontRole::Cjk, 8);
    for (int i = 0; i < kItems; ++i) {
        CSSItem& it = items_[static_cast<std::size_t>(i)];
        it.number = i;
        it.x = kInitial[static_cast<std::size_t>(i)][0];
        it.y = kInitial[static_cast<std::size_t>(i)][1];
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(sizeHint());
    relayout();
}

QRect CSSVolumePanel::innerRect() const {
    return QRect(QPoint(kMargin, kMargin), QPoint(width() - kMargin, height() - kMargin));
}

// Client rectangle l = 0, t = 0, r = width, b = height.
QPoint CSSVolumePanel::toPixel(float x, float y) const {
    const float perX = static_cast<float>(width() - 2 * kMargin) / roomWidth_;
    const float perY = static_cast<float>(height() - 2 * kMargin) / roomLength_;
    return QPoint(static_cast<int>(static_cast<float>(kMargin) + perX * (roomWidth_ / 2.0f + x)),
                  static_cast<int>(static_cast<float>(kMargin) + perY * (roomLength_ / 2.0f - y)));
}

float CSSVolumePanel::xFromPixel(int px) const {
    const float perX = static_cast<float>(width() - 2 * kMargin) / roomWidth_;
    if (perX <= 0.0f) return 0.0f;
    const float x = static_cast<float>(px - width() / 2) / perX;
    return std::clamp(x, -roomWidth_ / 2.0f, roomWidth_ / 2.0f);
}

float CSSVolumePanel::yFromPixel(int py) const {
    const float perY = static_cast<float>(height() - 2 * kMargin) / roomLength_;
    if (perY <= 0.0f) return 0.0f;
    const float y = static_cast<float>(height() / 2 - py) / perY;
    return std::clamp(y, -roomLength_ / 2.0f, roomLength_ / 2.0f);
}

void CSSVolumePanel::relayout() {
    for (CSSItem& it : items_) {
        const QPoint p = toPixel(it.x, it.y);
        it.pixelX = p.x();
        it.pixelY = p.y();
    }
}

void CSSVolumePanel::setRoomSize(float width, float length) {
    if (!(width > 0.0f) || !(length > 0.0f)) return;
    roomWidth_ = width;
    roomLength_ = length;
    relayout();
    update();
}

void CSSVolumePanel::setItemPosition(float x, float y, int item) {
    if (item < 0 || item >= kItems) return;
    CSSItem& it = items_[static_cast<std::size_t>(item)];
    it.x = x;
    it.y = y;
    const QPoint p = toPixel(x, y);
    it.pixelX = p.x();
    it.pixelY = p.y();
    update();
}

void CSSVolumePanel::resizeEvent(QResizeEvent*) {
    relayout();
}

void CSSVolumePanel::drawGrid(QPainter& p) const {
    p.fillRect(rect(), Qt::black);
    p.setFont(labelFont_);
    const QFontMetrics fm(labelFont_);
    const QRect inner = innerRect();
    const QColor textColour(73, 90, 151);
    const QPen gridPen(QColor(64, 64, 64), 1);
    const QPen edgePen(QColor(128, 128, 128), 1);
    const auto yLabel = [&](int y, const QString& text) {
        const int w = fm.horizontalAdvance(text);
        p.setPen(textColour);
        // Wide labels start at the border rather than being cut off.
        const int x = std::max(1, inner.left() - 5 - w);
        p.drawText(QRect(x, y - fm.height() / 2, w, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   text);
    };
    const auto xLabel = [&](int x, const QString& text) {
        const int w = fm.horizontalAdvance(text);
        p.setPen(textColour);
        p.drawText(QRect(x - w / 2, inner.bottom() + 3, w, fm.height()), Qt::AlignCenter, text);
    };
    const auto isEven = [](float metres) { return std::fmod(metres, 2.0f) == 0.0f; };

    // Horizontal lines: whole metres from the centre line, then the edges.
    {
        const int n = static_cast<int>(std::ceil(roomLength_ / 2.0f));
        const int stepPx =
            static_cast<int>(static_cast<float>(height() - 2 * kMargin) / roomLength_);
        const int cy = height() / 2;
        for (int v = 0; v < n; ++v) {
            p.setPen(gridPen);
            p.drawLine(inner.left(), cy - v * stepPx, inner.right(), cy - v * stepPx);
            p.drawLine(inner.left(), cy + v * stepPx, inner.right(), cy + v * stepPx);
            yLabel(cy - v * stepPx, v == 0 ? QStringLiteral("0") : QString::asprintf("+%dm", v));
            if (v != 0) yLabel(cy + v * stepPx, QString::asprintf("-%dm", v));
        }
        p.setPen(edgePen);
        p.drawLine(inner.left(), inner.top(), inner.right(), inner.top());
        p.drawLine(inner.left(), inner.bottom(), inner.right(), inner.bottom());
        if (isEven(roomLength_)) {
            yLabel(inner.top(),
                   QString::asprintf("+%.0fm", static_cast<double>(roomLength_ / 2.0f)));
            yLabel(inner.bottom(),
                   QString::asprintf("-%.0fm", static_cast<double>(roomLength_ / 2.0f)));
        } else {
            const double half = n - 1 + 0.5;
            yLabel(inner.top(), QString::asprintf("+%.1fm", half));
            yLabel(inner.bottom(), QString::asprintf("-%.1fm", half));
        }
    }
    // Vertical lines the same way across the width.
    {
        const int n = static_cast<int>(std::ceil(roomWidth_ / 2.0f));
        const int stepPx = static_cast<int>(static_cast<float>(width() - 2 * kMargin) / roomWidth_);
        const int cx = width() / 2;
        for (int v = 0; v < n; ++v) {
            p.setPen(gridPen);
            p.drawLine(cx - v * stepPx, inner.top(), cx - v * stepPx, inner.bottom());
            p.drawLine(cx + v * stepPx, inner.top(), cx + v * stepPx, inner.bottom());
            xLabel(cx + v * stepPx, v == 0 ? QStringLiteral("0") : QString::asprintf("+%dm", v));
            if (v != 0) xLabel(cx - v * stepPx, QString::asprintf("-%dm", v));
        }
        p.setPen(edgePen);
        p.drawLine(inner.left(), inner.top(), inner.left(), inner.bottom());
        p.drawLine(inner.right(), inner.top(), inner.right(), inner.bottom());
        if (isEven(roomWidth_)) {
            xLabel(inner.left(),
                   QString::asprintf("-%.0fm", static_cast<double>(roomWidth_ / 2.0f)));
            xLabel(inner.right(),
                   QString::asprintf("+%.0fm", static_cast<double>(roomWidth_ / 2.0f)));
        } else {
            const double half = n - 1 + 0.5;
            xLabel(inner.left(), QString::asprintf("-%.1fm", half));
            xLabel(inner.right(), QString::asprintf("+%.1fm", half));
        }
    }
}

void CSSVolumePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    drawGrid(p);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    const auto& looks = itemLooks();
    for (int i = 0; i < kVisibleItems; ++i) {
        const CSSItem& it = items_[static_cast<std::size_t>(i)];
        const QPointF centre(it.pixelX, it.pixelY);
        if (i == 0) {
            listener_.draw(p, centre - QPointF(listener_.width() / 2.0, listener_.height() / 2.0));
            continue;
        }
        speaker_.draw(p, centre - QPointF(speaker_.width() / 2.0, speaker_.height() / 2.0));
        p.setFont(numberFont_);
        p.setPen(QColor(255, 0, 0));
        p.drawText(QRectF(centre.x() - 20.0, centre.y() - 10.0, 40.0, 20.0), Qt::AlignCenter,
                   QString::number(i));
        p.setFont(nameFont_);
        p.setPen(looks[static_cast<std::size_t>(i)].colour);
        const QFontMetrics fm(nameFont_);
        const QString name = QString::fromUtf8(looks[static_cast<std::size_t>(i)].name);
        const int w = fm.horizontalAdvance(name);
        p.drawText(QRectF(centre.x() - w / 2.0 - 1.0, it.pixelY + speaker_.height() / 2 + 2,
                          w + 2.0, fm.height()),
                   Qt::AlignCenter, name);
    }
}

void CSSVolumePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QPoint at = event->position().toPoint();
    for (int i = 0; i < kVisibleItems; ++i) {
        const CSSItem& it = items_[static_cast<std::size_t>(i)];
        if (std::abs(it.pixelX - at.x()) < 16 && std::abs(it.pixelY - at.y()) < 16) {
            selected_ = i;
            dragging_ = true;
            emit itemPicked(it);
            return;
        }
    }
}

void CSSVolumePanel::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || selected_ < 0) return;
    const QRect inner = innerRect();
    const QPoint at = event->position().toPoint();
    const int x = std::clamp(at.x(), inner.left(), inner.right());
    const int y = std::clamp(at.y(), inner.top(), inner.bottom());
    CSSItem& it = items_[static_cast<std::size_t>(selected_)];
    it.x = xFromPixel(x);
    it.y = yFromPixel(y);
    it.pixelX = x;
    it.pixelY = y;
    emit itemMoved(it);
    repaint();
}

void CSSVolumePanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    dragging_ = false;
}

}  // namespace v36
