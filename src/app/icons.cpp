#include "app/icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace v36 {

namespace {

const QColor kBlue(0x1f, 0x5f, 0xb0);
const QColor kLightBlue(0x9c, 0xc3, 0xee);

void drawChip(QPainter& p, const QRectF& r, bool save) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, kLightBlue);
    g.setColorAt(1, kBlue);
    p.setPen(QPen(kBlue.darker(140), r.width() / 32.0));
    p.setBrush(g);
    const QRectF body =
        r.adjusted(r.width() * 0.12, r.height() * 0.2, -r.width() * 0.12, -r.height() * 0.12);
    p.drawRoundedRect(body, r.width() * 0.08, r.width() * 0.08);
    p.setPen(QPen(Qt::white, r.width() / 20.0));
    QFont f = p.font();
    f.setPixelSize(static_cast<int>(r.height() * 0.34));
    f.setBold(true);
    p.setFont(f);
    p.drawText(body, Qt::AlignCenter, QStringLiteral("M"));
    // The arrow: down into the unit for a recall, up out of it for a store.
    QPainterPath arrow;
    const qreal cx = r.right() - r.width() * 0.18;
    const qreal top = r.top() + r.height() * 0.02;
    const qreal h = r.height() * 0.34;
    const qreal w = r.width() * 0.16;
    if (save) {
        arrow.moveTo(cx, top);
        arrow.lineTo(cx + w, top + h * 0.55);
        arrow.lineTo(cx - w, top + h * 0.55);
    } else {
        arrow.moveTo(cx, top + h);
        arrow.lineTo(cx + w, top + h * 0.45);
        arrow.lineTo(cx - w, top + h * 0.45);
    }
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(save ? QColor(0xe0, 0x80, 0x10) : QColor(0x20, 0xa0, 0x30));
    p.drawPath(arrow);
}

void drawFolder(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(0xa0, 0x70, 0x10), r.width() / 16.0));
    p.setBrush(QColor(0xf5, 0xc8, 0x50));
    QPainterPath path;
    path.moveTo(r.left() + r.width() * 0.06, r.top() + r.height() * 0.22);
    path.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.22);
    path.lineTo(r.left() + r.width() * 0.5, r.top() + r.height() * 0.34);
    path.lineTo(r.right() - r.width() * 0.06, r.top() + r.height() * 0.34);
    path.lineTo(r.right() - r.width() * 0.06, r.bottom() - r.height() * 0.14);
    path.lineTo(r.left() + r.width() * 0.06, r.bottom() - r.height() * 0.14);
    path.closeSubpath();
    p.drawPath(path);
}

void drawDisk(QPainter& p, const QRectF& r) {
    const QRectF body =
        r.adjusted(r.width() * 0.1, r.height() * 0.1, -r.width() * 0.1, -r.height() * 0.1);
    p.setPen(QPen(kBlue.darker(150), r.width() / 16.0));
    p.setBrush(kBlue);
    p.drawRoundedRect(body, r.width() * 0.08, r.width() * 0.08);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(body.left() + body.width() * 0.2, body.top() + body.height() * 0.08,
                      body.width() * 0.6, body.height() * 0.35));
    p.setBrush(QColor(0xd0, 0xd0, 0xd0));
    p.drawRect(QRectF(body.left() + body.width() * 0.28, body.bottom() - body.height() * 0.36,
                      body.width() * 0.44, body.height() * 0.3));
}

void drawRound(QPainter& p, const QRectF& r, const QString& glyph, const QColor& colour) {
    QRadialGradient g(r.center() - QPointF(r.width() * 0.15, r.height() * 0.15), r.width() * 0.6);
    g.setColorAt(0, colour.lighter(160));
    g.setColorAt(1, colour);
    p.setPen(QPen(colour.darker(150), r.width() / 20.0));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(1, 1, -1, -1));
    QFont f = p.font();
    f.setPixelSize(static_cast<int>(r.height() * 0.62));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, glyph);
}

void drawOrb(QPainter& p, const QRectF& r) {
    QRadialGradient g(r.center() - QPointF(0, r.height() * 0.2), r.width() * 0.65);
    g.setColorAt(0, QColor(0xd8, 0xe8, 0xfa));
    g.setColorAt(0.5, QColor(0x4a, 0x8a, 0xd8));
    g.setColorAt(1, QColor(0x1a, 0x4a, 0x90));
    p.setPen(QPen(QColor(0x10, 0x30, 0x70), r.width() / 30.0));
    p.setBrush(g);
    p.drawEllipse(r.adjusted(1, 1, -1, -1));
    QFont f = p.font();
    f.setPixelSize(static_cast<int>(r.height() * 0.3));
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("V36"));
}

void drawExit(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(0xc0, 0x20, 0x20), r.width() / 8.0, Qt::SolidLine, Qt::RoundCap));
    const QRectF c =
        r.adjusted(r.width() * 0.2, r.height() * 0.2, -r.width() * 0.2, -r.height() * 0.2);
    p.drawArc(c, 120 * 16, 300 * 16);
    p.drawLine(QPointF(c.center().x(), r.top() + r.height() * 0.1), c.center());
}

}  // namespace

QPixmap shellPixmap(ShellPicture picture, int size, qreal devicePixelRatio) {
    const int px = static_cast<int>(size * devicePixelRatio + 0.5);
    QPixmap pixmap(px, px);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, size, size);
    switch (picture) {
        case ShellPicture::ApplicationButton:
            drawOrb(p, r);
            break;
        case ShellPicture::LoadMode:
            drawChip(p, r, false);
            break;
        case ShellPicture::SaveMode:
            drawChip(p, r, true);
            break;
        case ShellPicture::LoadFile:
            drawFolder(p, r);
            break;
        case ShellPicture::SaveFile:
            drawDisk(p, r);
            break;
        case ShellPicture::About:
            drawRound(p, r, QStringLiteral("?"), kBlue);
            break;
        case ShellPicture::Exit:
            drawExit(p, r);
            break;
        case ShellPicture::Information:
            drawRound(p, r, QStringLiteral("i"), kBlue);
            break;
    }
    return pixmap;
}

QIcon shellIcon(ShellPicture picture, int size) {
    QIcon icon;
    icon.addPixmap(shellPixmap(picture, size, 1.0));
    icon.addPixmap(shellPixmap(picture, size, 2.0));
    return icon;
}

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(shellPixmap(ShellPicture::ApplicationButton, size));
    return icon;
}

}  // namespace v36
