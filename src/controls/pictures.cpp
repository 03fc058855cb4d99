#include "controls/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

#include "controls/control_fonts.h"

namespace v36 {

namespace {

// ---- the drawn pictures; each fills a box of the given size ----

void drawThumb(QPainter& p, const QSizeF& s, const QColor& top, const QColor& bottom,
               const QColor& border) {
    const QRectF r(0.5, 0.5, s.width() - 1.0, s.height() - 1.0);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, top);
    g.setColorAt(1.0, bottom);
    p.setPen(QPen(border, 1.0));
    p.setBrush(g);
    p.drawRoundedRect(r, 2.0, 2.0);
    // A grip line across the middle of the longer side.
    p.setPen(QPen(border.darker(120), 1.0));
    if (s.width() >= s.height()) {
        p.drawLine(QPointF(s.width() / 2.0, 2.0), QPointF(s.width() / 2.0, s.height() - 2.0));
    } else {
        p.drawLine(QPointF(2.0, s.height() / 2.0), QPointF(s.width() - 2.0, s.height() / 2.0));
    }
}

void thumbNormal(QPainter& p, const QSizeF& s) {
    drawThumb(p, s, QColor(250, 250, 250), QColor(170, 175, 185), QColor(90, 95, 105));
}
void thumbFocused(QPainter& p, const QSizeF& s) {
    drawThumb(p, s, QColor(225, 242, 255), QColor(90, 170, 240), QColor(0, 90, 190));
}
void thumbDisabled(QPainter& p, const QSizeF& s) {
    drawThumb(p, s, QColor(215, 215, 215), QColor(195, 195, 195), QColor(160, 160, 160));
}

// Horizontal track: a groove on the thumb's axis (y = 7.5 for the 22 px track)
// and a row of scale ticks beneath it.
// A slider groove, empty or filled; the fill's gradient runs from the
// groove's top left corner to `gradientEnd`.
void paintGroove(QPainter& p, const QRectF& groove, bool filled, const QPointF& gradientEnd) {
    if (filled) {
        QLinearGradient g(groove.topLeft(), gradientEnd);
        g.setColorAt(0.0, QColor(120, 200, 255));
        g.setColorAt(1.0, QColor(0, 120, 215));
        p.setPen(QPen(QColor(0, 80, 160), 1.0));
        p.setBrush(g);
    } else {
        p.setPen(QPen(QColor(120, 125, 135), 1.0));
        p.setBrush(QColor(205, 210, 218));
    }
    p.drawRoundedRect(groove, 2.0, 2.0);
}

void horizontalTrack(QPainter& p, const QSizeF& s, bool filled) {
    const double h = s.height();
    const double cy = std::min(7.5, h / 2.0);
    const QRectF groove(2.0, cy - 2.5, s.width() - 4.0, 5.0);
    paintGroove(p, groove, filled, groove.bottomLeft());
    if (h >= 16.0) {
        p.setPen(QPen(filled ? QColor(0, 110, 200) : QColor(150, 155, 165), 1.0));
        const int ticks = 11;
        for (int i = 0; i < ticks; ++i) {
            const double x =
                std::floor(7.0 + 9.0 + (s.width() - 14.0 - 19.0) * i / (ticks - 1)) + 0.5;
            const double len = (i % 5 == 0) ? 5.0 : 3.0;
            p.drawLine(QPointF(x, cy + 6.0), QPointF(x, cy + 6.0 + len));
        }
    }
}
void trackH(QPainter& p, const QSizeF& s) {
    horizontalTrack(p, s, false);
}
void fillH(QPainter& p, const QSizeF& s) {
    horizontalTrack(p, s, true);
}

// Vertical track: a groove under the centre of a 19 px thumb placed at x = 1.
void verticalTrack(QPainter& p, const QSizeF& s, bool filled) {
    const double cx = std::min(10.5, s.width() / 2.0);
    const QRectF groove(cx - 2.5, 2.0, 5.0, s.height() - 4.0);
    paintGroove(p, groove, filled, groove.topRight());
}
void trackV(QPainter& p, const QSizeF& s) {
    verticalTrack(p, s, false);
}
void fillV(QPainter& p, const QSizeF& s) {
    verticalTrack(p, s, true);
}

// A tab with a pointer at the bottom-left corner (the handle's x is the value).
void delayHandle(QPainter& p, const QSizeF& s) {
    const double w = s.width();
    const double h = s.height();
    QPainterPath path;
    path.moveTo(0.5, h - 0.5);
    path.lineTo(0.5, 2.5);
    path.quadTo(0.5, 0.5, 2.5, 0.5);
    path.lineTo(w - 2.5, 0.5);
    path.quadTo(w - 0.5, 0.5, w - 0.5, 2.5);
    path.lineTo(w - 0.5, h * 0.62);
    path.quadTo(w - 0.5, h * 0.62 + 2.0, w - 2.5, h * 0.62 + 2.0);
    path.lineTo(8.0, h * 0.62 + 2.0);
    path.closeSubpath();
    QLinearGradient g(0.0, 0.0, 0.0, h);
    g.setColorAt(0.0, QColor(245, 245, 250));
    g.setColorAt(0.6, QColor(170, 178, 192));
    g.setColorAt(1.0, QColor(120, 128, 140));
    p.setPen(QPen(QColor(60, 64, 72), 1.0));
    p.setBrush(g);
    p.drawPath(path);
    p.setPen(QPen(QColor(90, 96, 106), 1.0));
    for (int i = 0; i < 3; ++i) {
        const double x = w / 2.0 - 3.0 + 3.0 * i + 0.5;
        p.drawLine(QPointF(x, 3.5), QPointF(x, h * 0.62 - 1.5));
    }
}

// The listener seen from above, nose pointing to the front (up).
void listener(QPainter& p, const QSizeF& s) {
    const double w = s.width();
    const double h = s.height();
    const QPointF c(w / 2.0, h / 2.0 + 1.0);
    const double r = std::min(w, h) * 0.36;
    p.setPen(QPen(QColor(40, 70, 10), 1.0));
    p.setBrush(QColor(150, 200, 90));
    p.drawEllipse(QRectF(c.x() - r - 3.5, c.y() - 4.0, 5.0, 8.0));  // ears
    p.drawEllipse(QRectF(c.x() + r - 1.5, c.y() - 4.0, 5.0, 8.0));
    QPainterPath nose;
    nose.moveTo(c.x() - 3.5, c.y() - r + 1.5);
    nose.lineTo(c.x(), c.y() - r - 4.5);
    nose.lineTo(c.x() + 3.5, c.y() - r + 1.5);
    nose.closeSubpath();
    p.drawPath(nose);
    QRadialGradient g(c - QPointF(r * 0.3, r * 0.3), r * 1.3);
    g.setColorAt(0.0, QColor(215, 255, 160));
    g.setColorAt(1.0, QColor(127, 200, 40));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
}

// A loudspeaker box with a tweeter above and a woofer in the middle.
void speaker(QPainter& p, const QSizeF& s) {
    const double w = s.width();
    const double h = s.height();
    const QRectF box(0.5, 0.5, w - 1.0, h - 1.0);
    QLinearGradient g(box.topLeft(), box.topRight());
    g.setColorAt(0.0, QColor(70, 74, 82));
    g.setColorAt(0.5, QColor(110, 116, 126));
    g.setColorAt(1.0, QColor(60, 64, 70));
    p.setPen(QPen(QColor(25, 25, 28), 1.0));
    p.setBrush(g);
    p.drawRoundedRect(box, 3.0, 3.0);
    const double wr = std::min(w, h) * 0.36;
    const QPointF wc(w / 2.0, h / 2.0 + 2.0);
    QRadialGradient cone(wc, wr);
    cone.setColorAt(0.0, QColor(200, 200, 205));
    cone.setColorAt(0.45, QColor(120, 122, 128));
    cone.setColorAt(1.0, QColor(35, 35, 38));
    p.setBrush(cone);
    p.drawEllipse(wc, wr, wr);
    p.setBrush(QColor(180, 182, 188));
    p.drawEllipse(QPointF(w / 2.0, 5.0), 2.5, 2.5);
}

void navButton(QPainter& p, const QSizeF& s, const QColor& top, const QColor& bottom,
               const QColor& border) {
    const QRectF r(0.5, 0.5, s.width() - 1.0, s.height() - 1.0);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, top);
    g.setColorAt(0.48, top.darker(118));
    g.setColorAt(0.52, bottom.lighter(108));
    g.setColorAt(1.0, bottom);
    p.setPen(QPen(border, 1.0));
    p.setBrush(g);
    p.drawRoundedRect(r, 5.0, 5.0);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1.0, 1.0, -1.0, -1.0), 4.0, 4.0);
}
void navStandard(QPainter& p, const QSizeF& s) {
    navButton(p, s, QColor(88, 132, 186), QColor(30, 62, 110), QColor(20, 40, 75));
}
void navSelected(QPainter& p, const QSizeF& s) {
    navButton(p, s, QColor(255, 186, 80), QColor(205, 104, 0), QColor(130, 60, 0));
}
void actionButton(QPainter& p, const QSizeF& s) {
    navButton(p, s, QColor(72, 120, 172), QColor(28, 58, 104), QColor(18, 38, 70));
}
void backButton(QPainter& p, const QSizeF& s) {
    navButton(p, s, QColor(96, 170, 120), QColor(30, 100, 60), QColor(15, 60, 35));
    QPainterPath arrow;
    const double cy = s.height() / 2.0;
    arrow.moveTo(7.0, cy);
    arrow.lineTo(15.0, cy - 6.0);
    arrow.lineTo(15.0, cy + 6.0);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawPath(arrow);
}

// ---- the output page's speaker pictures (drawn on a 220 x 150 grid) ----

void cabinet(QPainter& p, const QRectF& r) {
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0.0, QColor(52, 56, 64));
    g.setColorAt(0.5, QColor(92, 98, 110));
    g.setColorAt(1.0, QColor(44, 48, 54));
    p.setPen(QPen(QColor(20, 22, 26), 1.2));
    p.setBrush(g);
    p.drawRoundedRect(r, 4.0, 4.0);
}

void driver(QPainter& p, const QPointF& c, double r) {
    p.setPen(QPen(QColor(15, 15, 18), 1.0));
    p.setBrush(QColor(30, 31, 35));
    p.drawEllipse(c, r, r);  // surround
    QRadialGradient cone(c - QPointF(r * 0.25, r * 0.25), r);
    cone.setColorAt(0.0, QColor(190, 192, 200));
    cone.setColorAt(0.5, QColor(110, 112, 120));
    cone.setColorAt(1.0, QColor(45, 46, 52));
    p.setBrush(cone);
    p.drawEllipse(c, r * 0.82, r * 0.82);
    p.setBrush(QColor(70, 72, 80));
    p.drawEllipse(c, r * 0.28, r * 0.28);  // dust cap
}

void tweeter(QPainter& p, const QPointF& c, double r) {
    p.setPen(QPen(QColor(15, 15, 18), 1.0));
    p.setBrush(QColor(40, 41, 46));
    p.drawEllipse(c, r, r);
    QRadialGradient dome(c - QPointF(r * 0.3, r * 0.3), r * 0.7);
    dome.setColorAt(0.0, QColor(240, 240, 245));
    dome.setColorAt(1.0, QColor(140, 142, 150));
    p.setBrush(dome);
    p.drawEllipse(c, r * 0.6, r * 0.6);
}

// Sound waves leaving a point towards `angle` degrees (0 = right, 90 = down).
void waves(QPainter& p, const QPointF& from, double angle) {
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        const double r = 7.0 * i;
        p.setPen(QPen(QColor(0, 150, 230, 220 - 50 * i), 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(from.x() - r, from.y() - r, 2 * r, 2 * r),
                  static_cast<int>((-angle - 35.0) * 16.0), 70 * 16);
    }
}

void tower(QPainter& p, const QRectF& r) {
    cabinet(p, r);
    const double cx = r.center().x();
    tweeter(p, QPointF(cx, r.top() + 13.0), 7.0);
    driver(p, QPointF(cx, r.top() + 42.0), 15.0);
    driver(p, QPointF(cx, r.top() + 78.0), 15.0);
}

void bookshelf(QPainter& p, const QRectF& r) {
    cabinet(p, r);
    const double cx = r.center().x();
    tweeter(p, QPointF(cx, r.top() + 13.0), 6.5);
    driver(p, QPointF(cx, r.top() + 43.0), 17.0);
}

// The picture area above the caption band, then the caption.
void speakerPicture(QPainter& p, const QSizeF& s, void (*art)(QPainter&), const char* caption) {
    p.save();
    p.scale(s.width() / 220.0, s.height() / 150.0);
    art(p);
    p.setFont(controlFont(FontRole::CjkBold, 15));
    p.setPen(QColor(25, 55, 105));
    p.drawText(QRectF(0.0, 124.0, 220.0, 26.0), Qt::AlignCenter, QString::fromUtf8(caption));
    p.restore();
}

void mainArt(QPainter& p) {
    tower(p, QRectF(28.0, 6.0, 46.0, 112.0));
    tower(p, QRectF(146.0, 6.0, 46.0, 112.0));
    waves(p, QPointF(82.0, 60.0), 0.0);
    waves(p, QPointF(138.0, 60.0), 180.0);
}
void centerArt(QPainter& p) {
    cabinet(p, QRectF(30.0, 42.0, 160.0, 52.0));
    driver(p, QPointF(68.0, 68.0), 19.0);
    driver(p, QPointF(152.0, 68.0), 19.0);
    tweeter(p, QPointF(110.0, 68.0), 9.0);
    waves(p, QPointF(110.0, 100.0), 90.0);
}
void subArt(QPainter& p) {
    cabinet(p, QRectF(52.0, 8.0, 116.0, 110.0));
    driver(p, QPointF(110.0, 56.0), 40.0);
    p.setPen(QPen(QColor(15, 15, 18), 1.0));
    p.setBrush(QColor(12, 12, 14));
    p.drawRoundedRect(QRectF(72.0, 102.0, 76.0, 9.0), 4.0, 4.0);  // port
}
void rearArt(QPainter& p) {
    for (const double x : {34.0, 136.0}) {
        bookshelf(p, QRectF(x, 14.0, 50.0, 70.0));
        p.setPen(QPen(QColor(70, 74, 82), 4.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(x + 25.0, 84.0), QPointF(x + 25.0, 114.0));  // stand
        p.drawLine(QPointF(x + 10.0, 116.0), QPointF(x + 40.0, 116.0));
    }
    waves(p, QPointF(88.0, 48.0), 0.0);
    waves(p, QPointF(132.0, 48.0), 180.0);
}
void topArt(QPainter& p) {
    p.setPen(QPen(QColor(120, 126, 138), 3.0));
    p.drawLine(QPointF(10.0, 6.0), QPointF(210.0, 6.0));  // the ceiling
    for (const double x : {60.0, 160.0}) {
        p.save();
        p.translate(x, 30.0);
        p.rotate(x < 110.0 ? 20.0 : -20.0);
        bookshelf(p, QRectF(-22.0, -20.0, 44.0, 62.0));
        p.restore();
        waves(p, QPointF(x + (x < 110.0 ? 10.0 : -10.0), 80.0), x < 110.0 ? 70.0 : 110.0);
    }
}

void speakerMainZh(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, mainArt, "前置音箱");
}
void speakerMainEn(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, mainArt, "Main Speakers");
}
void speakerCenterZh(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, centerArt, "中置音箱");
}
void speakerCenterEn(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, centerArt, "Center Speaker");
}
void speakerSubZh(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, subArt, "超低音箱");
}
void speakerSubEn(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, subArt, "Subwoofer");
}
void speakerRearZh(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, rearArt, "后置音箱");
}
void speakerRearEn(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, rearArt, "Rear Speakers");
}
void speakerTopZh(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, topArt, "顶置音箱");
}
void speakerTopEn(QPainter& p, const QSizeF& s) {
    speakerPicture(p, s, topArt, "Top Speakers");
}

struct PictureEntry {
    int id;
    int width;
    int height;
    void (*draw)(QPainter&, const QSizeF&);
};

constexpr PictureEntry kPictures[] = {
    {picture::kSliderThumb, 19, 9, thumbNormal},
    {picture::kSliderTrack, 131, 22, trackH},
    {picture::kSliderThumbDisabled, 19, 9, thumbDisabled},
    {picture::kSliderThumbFocused, 19, 9, thumbFocused},
    {picture::kListener, 36, 36, listener},
    {picture::kSpeaker, 28, 34, speaker},
    {picture::kDelayHandle, 25, 22, delayHandle},
    {picture::kNavButtonSelected, 161, 39, navSelected},
    {picture::kActionButton, 100, 30, actionButton},
    {picture::kBackButton, 90, 32, backButton},
    {picture::kNavButton, 161, 39, navStandard},
    {picture::kSliderFill, 131, 22, fillH},
    {picture::kSliderTrackVertical, 22, 160, trackV},
    {picture::kSliderFillVertical, 22, 160, fillV},
    {picture::kSpeakerCenterZh, 220, 150, speakerCenterZh},
    {picture::kSpeakerMainZh, 220, 150, speakerMainZh},
    {picture::kSpeakerRearZh, 220, 150, speakerRearZh},
    {picture::kSpeakerSubZh, 220, 150, speakerSubZh},
    {picture::kSpeakerCenterEn, 220, 150, speakerCenterEn},
    {picture::kSpeakerMainEn, 220, 150, speakerMainEn},
    {picture::kSpeakerRearEn, 220, 150, speakerRearEn},
    {picture::kSpeakerSubEn, 220, 150, speakerSubEn},
    {picture::kSpeakerTopZh, 220, 150, speakerTopZh},
    {picture::kSpeakerTopEn, 220, 150, speakerTopEn},
};

}  // namespace

void CGdiPlusBitmap::clear() {
    draw_ = nullptr;
    image_ = QImage();
    size_ = QSize();
    id_ = 0;
}

void CGdiPlusBitmap::setImage(const QImage& image) {
    clear();
    if (image.isNull()) return;
    image_ = image;
    size_ = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
}

void CGdiPlusBitmap::setSize(QSize size) {
    if (!isNull() && size.isValid()) size_ = size;
}

void CGdiPlusBitmap::draw(QPainter& painter, QPointF at) const {
    if (isNull()) return;
    painter.save();
    painter.translate(at);
    if (draw_ != nullptr) {
        painter.setRenderHint(QPainter::Antialiasing, true);
        draw_(painter, QSizeF(size_));
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size_)), image_);
    }
    painter.restore();
}

void CGdiPlusBitmap::drawPart(QPainter& painter, QPointF at, const QRectF& source) const {
    if (isNull() || source.isEmpty()) return;
    painter.save();
    painter.setClipRect(source.translated(at), Qt::IntersectClip);
    draw(painter, at);
    painter.restore();
}

QImage CGdiPlusBitmap::toImage(double devicePixelRatio) const {
    if (isNull()) return {};
    const double dpr = devicePixelRatio > 0.0 ? devicePixelRatio : 1.0;
    QImage out(QSize(static_cast<int>(std::ceil(size_.width() * dpr)),
                     static_cast<int>(std::ceil(size_.height() * dpr))),
               QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    QPainter p(&out);
    draw(p, QPointF(0, 0));
    return out;
}

bool CGdiPlusBitmapResource::load(int id) {
    clear();
    for (const PictureEntry& e : kPictures) {
        if (e.id == id) {
            draw_ = e.draw;
            size_ = QSize(e.width, e.height);
            id_ = id;
            return true;
        }
    }
    return false;
}

}  // namespace v36
