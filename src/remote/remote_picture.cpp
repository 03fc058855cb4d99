#include "remote/remote_picture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <array>

#include "app/language.h"
#include "controls/control_fonts.h"
#include "remote/remote_keys.h"

namespace v36 {

namespace {

constexpr QSize kPictureSize(280, 600);
const QRectF kBody(16, 8, 248, 584);
constexpr QPointF kPadCentre(140, 246);
constexpr double kPadRadius = 92;
constexpr std::array<int, 3> kVolumeColumns{68, 140, 212};
constexpr int kRockerTop = 404;

struct KeyPlace {
    int key;
    CRemoteKey::Shape shape;
    QRect rect;
};

using S = CRemoteKey::Shape;
const std::array<KeyPlace, 17> kPlaces{{
    {1, S::Power, QRect(116, 38, 48, 48)},
    {2, S::Pill, QRect(38, 106, 96, 34)},
    {3, S::Pill, QRect(146, 106, 96, 34)},
    {4, S::Up, QRect(105, 162, 70, 48)},
    {5, S::Down, QRect(105, 282, 70, 48)},
    {6, S::Left, QRect(56, 211, 48, 70)},
    {7, S::Right, QRect(176, 211, 48, 70)},
    {8, S::Ok, QRect(110, 216, 60, 60)},
    {9, S::Pill, QRect(30, 354, 68, 32)},
    {10, S::Pill, QRect(106, 354, 68, 32)},
    {11, S::Pill, QRect(182, 354, 68, 32)},
    {12, S::Plus, QRect(kVolumeColumns[0] - 27, kRockerTop + 6, 54, 52)},
    {13, S::Minus, QRect(kVolumeColumns[0] - 27, kRockerTop + 66, 54, 52)},
    {14, S::Plus, QRect(kVolumeColumns[1] - 27, kRockerTop + 6, 54, 52)},
    {15, S::Minus, QRect(kVolumeColumns[1] - 27, kRockerTop + 66, 54, 52)},
    {16, S::Plus, QRect(kVolumeColumns[2] - 27, kRockerTop + 6, 54, 52)},
    {17, S::Minus, QRect(kVolumeColumns[2] - 27, kRockerTop + 66, 54, 52)},
}};

// The caption a key shows in a language (arrows and signs are drawn).
QString keyCaption(int key, int lang) {
    switch (key) {
        case 2:
            return pick(lang, "音源", "Source");
        case 3:
            return QStringLiteral("HDMI");
        case 4:
            return QStringLiteral("M1");
        case 5:
            return QStringLiteral("M4");
        case 6:
            return QStringLiteral("M3");
        case 7:
            return QStringLiteral("M2");
        case 8:
            return pick(lang, "确认", "OK");
        case 9:
            return pick(lang, "菜单", "Menu");
        case 10:
            return pick(lang, "静音", "Mute");
        case 11:
            return pick(lang, "退出", "Exit");
        default:
            return {};
    }
}

bool isRound(S shape) {
    return shape == S::Power || shape == S::Ok;
}

// A triangle of `size` pointing along the shape's direction, centred on `c`.
QPolygonF arrow(S shape, QPointF c, double size) {
    const double h = size / 2;
    switch (shape) {
        case S::Up:
            return QPolygonF(
                {c + QPointF(0, -h), c + QPointF(h, h * 0.7), c + QPointF(-h, h * 0.7)});
        case S::Down:
            return QPolygonF(
                {c + QPointF(0, h), c + QPointF(h, -h * 0.7), c + QPointF(-h, -h * 0.7)});
        case S::Left:
            return QPolygonF(
                {c + QPointF(-h, 0), c + QPointF(h * 0.7, -h), c + QPointF(h * 0.7, h)});
        default:
            return QPolygonF(
                {c + QPointF(h, 0), c + QPointF(-h * 0.7, -h), c + QPointF(-h * 0.7, h)});
    }
}

}  // namespace

// --- One key ------------------------------------------------------------------------

CRemoteKey::CRemoteKey(int key, Shape shape, QWidget* parent)
    : QAbstractButton(parent), key_(key), shape_(shape) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

bool CRemoteKey::hitButton(const QPoint& pos) const {
    if (!isRound(shape_)) return rect().contains(pos);
    QPainterPath circle;
    circle.addEllipse(QRectF(rect()));
    return circle.contains(QPointF(pos));
}

void CRemoteKey::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CRemoteKey::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CRemoteKey::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const bool down = isDown();

    QColor top(0x62, 0x69, 0x74);
    QColor bottom(0x3c, 0x42, 0x4a);
    if (shape_ == Shape::Power) {
        top = QColor(0xE8, 0x52, 0x46);
        bottom = QColor(0xA4, 0x24, 0x1C);
    }
    if (hover_ && !down) {
        top = top.lighter(125);
        bottom = bottom.lighter(125);
    }
    if (down) {
        top = top.darker(130);
        bottom = bottom.darker(130);
    }
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);

    QPainterPath outline;
    if (isRound(shape_)) {
        outline.addEllipse(r);
    } else {
        const double radius = shape_ == Shape::Pill ? r.height() / 2 : 10.0;
        outline.addRoundedRect(r, radius, radius);
    }
    // A soft shadow below, then the key.
    p.fillPath(outline.translated(0, 1.5), QColor(0, 0, 0, 90));
    p.fillPath(outline, fill);
    p.setPen(
        QPen(hover_ ? QColor(0x7F, 0xC4, 0xFF) : QColor(255, 255, 255, 50), hover_ ? 1.6 : 1.0));
    p.drawPath(outline);

    const QColor ink(0xF4, 0xF6, 0xF8);
    const QPointF c = r.center() + (down ? QPointF(0.5, 0.5) : QPointF());
    switch (shape_) {
        case Shape::Power: {
            // The power sign: an open ring and a bar.
            const double s = r.width() * 0.22;
            p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(c.x() - s, c.y() - s + 1, 2 * s, 2 * s), 120 * 16, 300 * 16);
            p.drawLine(QPointF(c.x(), c.y() - s - 2), QPointF(c.x(), c.y() + 1));
            break;
        }
        case Shape::Plus:
        case Shape::Minus: {
            const double s = 9;
            p.setPen(QPen(ink, 3.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(c.x() - s, c.y()), QPointF(c.x() + s, c.y()));
            if (shape_ == Shape::Plus)
                p.drawLine(QPointF(c.x(), c.y() - s), QPointF(c.x(), c.y() + s));
            break;
        }
        case Shape::Up:
        case Shape::Down:
        case Shape::Left:
        case Shape::Right: {
            // The arrow towards the outside, the mode nearer the centre.
            const bool vertical = shape_ == Shape::Up || shape_ == Shape::Down;
            const double away = shape_ == Shape::Up || shape_ == Shape::Left ? -1.0 : 1.0;
            const QPointF shift = vertical ? QPointF(0, away * 10) : QPointF(away * 10, 0);
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.drawPolygon(arrow(shape_, c + shift, 11));
            p.setPen(ink);
            p.setFont(controlFont(FontRole::Latin, 11, QFont::DemiBold));
            const QRectF box(c - shift - QPointF(20, 8), QSizeF(40, 16));
            p.drawText(box, Qt::AlignCenter, text());
            break;
        }
        default:
            p.setPen(ink);
            p.setFont(controlFont(FontRole::Cjk, 13, QFont::DemiBold));
            p.drawText(r, Qt::AlignCenter, text());
            break;
    }
}

// --- The remote ------------------------------------------------------------------------

CRemotePicture::CRemotePicture(QWidget* parent) : QWidget(parent) {
    setControlId(this, kControlId);
    setFixedSize(kPictureSize);
    for (const KeyPlace& place : kPlaces) {
        auto* key = new CRemoteKey(place.key, place.shape, this);
        const RemoteKey* info = remoteKey(place.key);
        if (info) setControlId(key, info->control);
        key->setGeometry(place.rect);
        connect(key, &QAbstractButton::clicked, this,
                [this, k = place.key] { emit keyClicked(k); });
        keys_.push_back(key);
    }
    setLanguage(kChinese);
}

void CRemotePicture::setLanguage(int languageIndex) {
    language_ = languageIndex;
    for (CRemoteKey* key : keys_) {
        key->setText(keyCaption(key->key(), languageIndex));
        key->setToolTip(keyFunctionName(key->key(), languageIndex));
    }
    update();
}

CRemoteKey* CRemotePicture::keyArea(int key) const {
    for (CRemoteKey* k : keys_) {
        if (k->key() == key) return k;
    }
    return nullptr;
}

QSize CRemotePicture::sizeHint() const {
    return kPictureSize;
}

void CRemotePicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    // The body with a soft shadow and a lit edge.
    QPainterPath body;
    body.addRoundedRect(kBody, 46, 46);
    p.fillPath(body.translated(3, 4), QColor(0, 0, 0, 40));
    QLinearGradient shell(kBody.topLeft(), kBody.topRight());
    shell.setColorAt(0, QColor(0x2A, 0x2F, 0x36));
    shell.setColorAt(0.5, QColor(0x3A, 0x40, 0x48));
    shell.setColorAt(1, QColor(0x25, 0x29, 0x2F));
    p.fillPath(body, shell);
    p.setPen(QPen(QColor(0x70, 0x78, 0x82), 1.5));
    p.drawPath(body);

    // The infrared window.
    QLinearGradient window(QPointF(0, 14), QPointF(0, 26));
    window.setColorAt(0, QColor(0x90, 0x18, 0x18));
    window.setColorAt(1, QColor(0x40, 0x06, 0x06));
    p.setPen(Qt::NoPen);
    p.setBrush(window);
    p.drawRoundedRect(QRectF(118, 15, 44, 10), 5, 5);

    // The direction pad's ring.
    QRadialGradient ring(kPadCentre, kPadRadius);
    ring.setColorAt(0.0, QColor(0x1C, 0x20, 0x25));
    ring.setColorAt(0.92, QColor(0x2C, 0x31, 0x38));
    ring.setColorAt(1.0, QColor(0x50, 0x57, 0x60));
    p.setBrush(ring);
    p.drawEllipse(kPadCentre, kPadRadius, kPadRadius);

    // The three volume rockers and their names.
    const std::array<const char*, 3> zh{"话筒", "效果", "音乐"};
    const std::array<const char*, 3> en{"Mic", "Effect", "Music"};
    p.setFont(controlFont(FontRole::Cjk, 13, QFont::DemiBold));
    for (std::size_t i = 0; i < kVolumeColumns.size(); ++i) {
        const double x = kVolumeColumns.at(i);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x1C, 0x20, 0x25));
        p.drawRoundedRect(QRectF(x - 32, kRockerTop, 64, 124), 30, 30);
        p.setPen(QColor(0xC8, 0xCE, 0xD6));
        p.drawText(QRectF(x - 40, kRockerTop + 128, 80, 22), Qt::AlignCenter,
                   pick(language_, zh.at(i), en.at(i)));
    }
    p.setPen(QColor(0x8A, 0x92, 0x9C));
    p.setFont(controlFont(FontRole::Latin, 12, QFont::Bold));
    p.drawText(QRectF(kBody.left(), kBody.bottom() - 34, kBody.width(), 20), Qt::AlignCenter,
               QStringLiteral("V36"));
}

}  // namespace v36
