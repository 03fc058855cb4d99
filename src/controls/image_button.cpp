#include "controls/image_button.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "controls/control_fonts.h"
#include "controls/paint_support.h"

namespace v36 {

namespace {

// Dark grey: at least 5:1 against every grey the disabled picture takes.
constexpr QColor kDisabledCaption(40, 40, 40);

// Brightens (hover) or greys (disabled) every pixel, keeping its alpha.
QImage withColourEffect(QImage image, CGdipButton::State state) {
    if (state != CGdipButton::State::Hover && state != CGdipButton::State::Disabled) return image;
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            int r = qRed(c);
            int g = qGreen(c);
            int b = qBlue(c);
            if (state == CGdipButton::State::Hover) {
                r = std::min(255, r * 6 / 5 + 20);
                g = std::min(255, g * 6 / 5 + 20);
                b = std::min(255, b * 6 / 5 + 20);
            } else {
                const int grey = (r * 30 + g * 59 + b * 11) / 100;
                r = g = b = (grey + 2 * 200) / 3;
            }
            line[x] = qRgba(r, g, b, qAlpha(c));
        }
    }
    return image;
}

double relativeLuminance(const QColor& c) {
    auto channel = [](int v) {
        const double x = v / 255.0;
        return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double contrastOf(const QColor& a, const QColor& b) {
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The mean colour of the opaque pixels of the middle band, where the
// caption is drawn.
QColor captionBackground(const QImage& image) {
    double r = 0.0, g = 0.0, b = 0.0, weight = 0.0;
    const int top = image.height() / 4;
    const int bottom = image.height() - top;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const double a = qAlpha(c) / 255.0;
            r += a * qRed(c);
            g += a * qGreen(c);
            b += a * qBlue(c);
            weight += a;
        }
    }
    if (weight <= 0.0) return {};
    return QColor(static_cast<int>(r / weight), static_cast<int>(g / weight),
                  static_cast<int>(b / weight));
}

}  // namespace

CGdipButton::CGdipButton(QWidget* parent) : QAbstractButton(parent) {
    captionFont_ = controlFont(FontRole::Cjk, 12);
    setAttribute(Qt::WA_Hover, true);
    setMouseTracking(true);
}

bool CGdipButton::loadStandard(int id) {
    const bool ok = standard_.load(id);
    standardCache_ = {};
    updateGeometry();
    update();
    return ok;
}

bool CGdipButton::loadAlternate(int id) {
    const bool ok = alternatePicture_.load(id);
    alternateCache_ = {};
    update();
    return ok;
}

void CGdipButton::setCaption(const QString& caption) {
    setText(caption);
    update();
}

void CGdipButton::setCaptionColor(QColor colour) {
    captionColour_ = colour;
    update();
}

void CGdipButton::setAlternate(bool alternate) {
    alternate_ = alternate;
    update();
}

CGdipButton::State CGdipButton::state() const {
    if (!isEnabled()) return State::Disabled;
    if (isDown()) return State::Pressed;
    if (hover_) return State::Hover;
    return State::Normal;
}

QSize CGdipButton::sizeHint() const {
    if (!standard_.isNull()) return standard_.size();
    return QSize(161, 39);
}

QColor CGdipButton::paintedCaptionColor() const {
    // The disabled picture is a light grey, on which a white caption vanishes.
    if (state() == State::Disabled) return kDisabledCaption;
    if (state() == State::Hover) {
        const bool useAlternate = alternate_ && !alternatePicture_.isNull();
        const CGdiPlusBitmap& picture = useAlternate ? alternatePicture_ : standard_;
        Renderings& cache = useAlternate ? alternateCache_ : standardCache_;
        if (!picture.isNull() && !size().isEmpty()) {
            const double dpr = cache.dpr > 0.0 ? cache.dpr : devicePixelRatioF();
            return captionOn(rendering(picture, cache, State::Hover, size(), dpr), State::Hover);
        }
    }
    return captionColour_;
}

QColor CGdipButton::captionOn(const QImage& image, State state) const {
    if (state == State::Disabled) return kDisabledCaption;
    // The brightened picture of a hovered button can leave a light caption
    // without contrast (white on light orange): it turns dark there.
    if (state == State::Hover) {
        const QColor under = captionBackground(image);
        if (under.isValid() && contrastOf(captionColour_, under) < 3.0 &&
            contrastOf(kDisabledCaption, under) > contrastOf(captionColour_, under))
            return kDisabledCaption;
    }
    return captionColour_;
}

QSize CGdipButton::minimumSizeHint() const {
    constexpr int kCaptionMargin = 12;
    const int caption = QFontMetrics(captionFont_).horizontalAdvance(text()) + 2 * kCaptionMargin;
    return {caption, sizeHint().height()};
}

const QImage& CGdipButton::rendering(const CGdiPlusBitmap& picture, Renderings& cache, State state,
                                     QSize size, double dpr) const {
    if (cache.dpr != dpr || cache.size != size) cache = Renderings{size, dpr, {}};
    QImage& image = cache.images[static_cast<std::size_t>(state)];
    if (image.isNull()) {
        CGdiPlusBitmap sized = picture;
        sized.setSize(size);
        image = withColourEffect(sized.toImage(dpr), state);
    }
    return image;
}

void CGdipButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const bool useAlternate = alternate_ && !alternatePicture_.isNull();
    const CGdiPlusBitmap& picture = useAlternate ? alternatePicture_ : standard_;
    const State s = state();
    QColor caption = s == State::Disabled ? kDisabledCaption : captionColour_;
    if (!picture.isNull()) {
        const QImage& image = rendering(picture, useAlternate ? alternateCache_ : standardCache_, s,
                                        size(), targetDevicePixelRatio(p));
        const QPointF at = s == State::Pressed ? QPointF(1, 1) : QPointF(0, 0);
        p.drawImage(QRectF(at, QSizeF(size())), image);
        caption = captionOn(image, s);
    }
    p.setFont(captionFont_);
    p.setPen(caption);
    QRect textRect = rect();
    if (s == State::Pressed) textRect.translate(1, 1);
    p.drawText(textRect, Qt::AlignCenter, text());
}

void CGdipButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CGdipButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CGdipButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) update();
    QAbstractButton::changeEvent(event);
}

}  // namespace v36
