#include "controls/ss_volume_panel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/control_fonts.h"
#include "controls/paint_support.h"

namespace v36 {

namespace {

struct ItemLook {
    const char* name;
    const char* english;
    QColor colour;
};

const std::array<ItemLook, CSSVolumePanel::kItems>& itemLooks() {
    static const std::array<ItemLook, CSSVolumePanel::kItems> looks{{
        {"", "", QColor(127, 255, 0)},
        {"前置左(ML)", "Main.L", QColor(227, 207, 87)},
        {"中置(C)", "Center", QColor(176, 224, 230)},
        {"前置右(MR)", "Main.R", QColor(227, 207, 87)},
        {"后置左(RL)", "Rear.L", QColor(65, 105, 225)},
        {"超低(S)", "Sub", QColor(235, 142, 85)},
        {"后置右(RR)", "Rear.R", QColor(65, 105, 225)},
        {"顶置左(TL)", "Top.L", QColor(255, 153, 18)},
        {"顶置右(TR)", "Top.R", QColor(255, 153, 18)},
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

// The marks of one axis across a room `size` metres long: the whole metres
// out from the centre and the two walls, each with its label.
struct AxisMark {
    int metres;  // whole metres from the centre, signed; unused for a wall
    bool wall;
    bool positive;
    QString text;
};

std::vector<AxisMark> axisMarks(float size) {
    std::vector<AxisMark> marks;
    const int n = static_cast<int>(std::ceil(size / 2.0f));
    const double half = static_cast<double>(size) / 2.0;
    const bool even = std::fmod(size, 2.0f) == 0.0f;
    const QString wall = QString::number(half, 'f', even ? 0 : 1) + QLatin1Char('m');
    // The walls first: they are kept whatever else must give way.
    marks.push_back({0, true, true, QLatin1Char('+') + wall});
    marks.push_back({0, true, false, QLatin1Char('-') + wall});
    marks.push_back({0, false, true, QStringLiteral("0")});
    for (int v = 1; v < n; ++v) {
        marks.push_back({v, false, true, QString::asprintf("+%dm", v)});
        marks.push_back({-v, false, false, QString::asprintf("-%dm", v)});
    }
    return marks;
}

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
    updateMargins();
    relayout();
}

QRect CSSVolumePanel::innerRect() const {
    return QRect(QPoint(marginX_, marginY_), QPoint(width() - marginX_, height() - marginY_));
}

// Client rectangle l = 0, t = 0, r = width, b = height. A position outside
// the room is drawn at the wall it lies beyond.
QPoint CSSVolumePanel::toPixel(float x, float y) const {
    x = std::clamp(x, -roomWidth_ / 2.0f, roomWidth_ / 2.0f);
    y = std::clamp(y, -roomLength_ / 2.0f, roomLength_ / 2.0f);
    const float perX = static_cast<float>(width() - 2 * marginX_) / roomWidth_;
    const float perY = static_cast<float>(height() - 2 * marginY_) / roomLength_;
    return QPoint(static_cast<int>(static_cast<float>(marginX_) + perX * (roomWidth_ / 2.0f + x)),
                  static_cast<int>(static_cast<float>(marginY_) + perY * (roomLength_ / 2.0f - y)));
}

float CSSVolumePanel::xFromPixel(int px) const {
    const float perX = static_cast<float>(width() - 2 * marginX_) / roomWidth_;
    if (perX <= 0.0f) return 0.0f;
    const float x = static_cast<float>(px - width() / 2) / perX;
    return std::clamp(x, -roomWidth_ / 2.0f, roomWidth_ / 2.0f);
}

float CSSVolumePanel::yFromPixel(int py) const {
    const float perY = static_cast<float>(height() - 2 * marginY_) / roomLength_;
    if (perY <= 0.0f) return 0.0f;
    const float y = static_cast<float>(height() / 2 - py) / perY;
    return std::clamp(y, -roomLength_ / 2.0f, roomLength_ / 2.0f);
}

bool CSSVolumePanel::outsideRoom(int item) const {
    if (item < 0 || item >= kItems) return false;
    const CSSItem& it = items_[static_cast<std::size_t>(item)];
    return std::fabs(it.x) > roomWidth_ / 2.0f || std::fabs(it.y) > roomLength_ / 2.0f;
}

void CSSVolumePanel::relayout() {
    for (CSSItem& it : items_) {
        const QPoint p = toPixel(it.x, it.y);
        it.pixelX = p.x();
        it.pixelY = p.y();
    }
}

// The labels left of the room are right-aligned 5 px off its side wall and
// need the room to stand off by their width; the labels under the room sit
// below the half of the lowest side label that reaches under the floor.
void CSSVolumePanel::updateMargins() {
    const QFontMetrics fm(labelFont_);
    const LabelInk ink = labelInk(fm);
    int widest = 0;
    for (const AxisMark& m : axisMarks(roomLength_))
        widest = std::max(widest, fm.horizontalAdvance(m.text));
    marginX_ = std::max(kMargin, widest + 5 + 2);
    marginY_ = std::max(kMargin, ink.height / 2 + 3 + ink.height + 2);
}

void CSSVolumePanel::setRoomSize(float width, float length) {
    if (!(width > 0.0f) || !(length > 0.0f)) return;
    roomWidth_ = width;
    roomLength_ = length;
    updateMargins();
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

std::vector<CSSVolumePanel::Label> CSSVolumePanel::gridLabels() const {
    const QFontMetrics fm(labelFont_);
    const LabelInk ink = labelInk(fm);
    const QRect inner = innerRect();
    LabelLayout layout;
    std::vector<Label> labels;
    const auto keep = [&](const QRect& box, const QString& text) {
        if (layout.place(box)) labels.push_back({box, text});
    };

    // Lines along the room: labelled left of the side wall.
    const auto yMarks = axisMarks(roomLength_);
    const int stepY = static_cast<int>(static_cast<float>(height() - 2 * marginY_) / roomLength_);
    for (const AxisMark& m : yMarks) {
        const int y =
            m.wall ? (m.positive ? inner.top() : inner.bottom()) : height() / 2 - m.metres * stepY;
        const int w = fm.horizontalAdvance(m.text);
        keep(QRect(inner.left() - 5 - w, y - ink.height / 2, w, ink.height), m.text);
    }
    // Lines across the room: labelled under the floor, below the lowest side
    // label so that the corner holds both.
    const int underFloor = inner.bottom() + ink.height / 2 + 3;
    const int stepX = static_cast<int>(static_cast<float>(width() - 2 * marginX_) / roomWidth_);
    for (const AxisMark& m : axisMarks(roomWidth_)) {
        const int x =
            m.wall ? (m.positive ? inner.right() : inner.left()) : width() / 2 + m.metres * stepX;
        const int w = fm.horizontalAdvance(m.text);
        keep(QRect(x - w / 2, underFloor, w, ink.height), m.text);
    }
    return labels;
}

void CSSVolumePanel::setLanguage(int language) {
    if (language == language_) return;
    language_ = language;
    update();
}

QString CSSVolumePanel::itemName(int item) const {
    const ItemLook& look = itemLooks().at(static_cast<std::size_t>(item));
    return QString::fromUtf8(language_ == 1 ? look.english : look.name);
}

QRect CSSVolumePanel::nameRect(int item) const {
    if (item <= 0 || item >= kVisibleItems) return {};
    const CSSItem& it = items_[static_cast<std::size_t>(item)];
    const QFontMetrics fm(nameFont_);
    const QString name = itemName(item);
    const int w = fm.horizontalAdvance(name) + 2;
    const int h = fm.height();
    const QRect inner = innerRect();
    const int x = std::clamp(it.pixelX - w / 2, inner.left() + 1,
                             std::max(inner.left() + 1, inner.right() - w));
    int y = it.pixelY + speaker_.height() / 2 + 2;
    if (y + h > inner.bottom()) y = it.pixelY - speaker_.height() / 2 - 2 - h;
    return QRect(x, y, w, h);
}

void CSSVolumePanel::drawGrid(QPainter& p) const {
    p.fillRect(rect(), Qt::black);
    const QRect inner = innerRect();
    const QPen gridPen(QColor(64, 64, 64), 1);
    const QPen edgePen(QColor(128, 128, 128), 1);

    // Whole metres out from the centre lines, then the walls.
    p.setPen(gridPen);
    {
        const int n = static_cast<int>(std::ceil(roomLength_ / 2.0f));
        const int stepPx =
            static_cast<int>(static_cast<float>(height() - 2 * marginY_) / roomLength_);
        const int cy = height() / 2;
        for (int v = 0; v < n; ++v) {
            p.drawLine(inner.left(), cy - v * stepPx, inner.right(), cy - v * stepPx);
            p.drawLine(inner.left(), cy + v * stepPx, inner.right(), cy + v * stepPx);
        }
    }
    {
        const int n = static_cast<int>(std::ceil(roomWidth_ / 2.0f));
        const int stepPx =
            static_cast<int>(static_cast<float>(width() - 2 * marginX_) / roomWidth_);
        const int cx = width() / 2;
        for (int v = 0; v < n; ++v) {
            p.drawLine(cx - v * stepPx, inner.top(), cx - v * stepPx, inner.bottom());
            p.drawLine(cx + v * stepPx, inner.top(), cx + v * stepPx, inner.bottom());
        }
    }
    p.setPen(edgePen);
    p.drawRect(inner);

    p.setFont(labelFont_);
    p.setPen(QColor(73, 90, 151));
    const LabelInk ink = labelInk(QFontMetrics(labelFont_));
    for (const Label& label : gridLabels())
        p.drawText(QPoint(label.box.left(), label.box.top() + ink.ascent), label.text);
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
        if (outsideRoom(i)) {
            // Held at the wall: a dashed ring says it stands beyond it.
            p.setPen(QPen(QColor(255, 64, 64), 2, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(centre, 17.0, 17.0);
        }
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
        p.drawText(nameRect(i), Qt::AlignCenter, itemName(i));
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
