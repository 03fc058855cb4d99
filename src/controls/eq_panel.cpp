#include "controls/eq_panel.h"

#include <QAction>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <cmath>

#include "controls/control_fonts.h"
#include "controls/paint_support.h"

namespace v36 {

namespace {

constexpr double kMinHz = kCurveMinHz;
constexpr double kMaxHz = kCurveMaxHz;
const double kDecades = std::log10(kMaxHz / kMinHz);

constexpr std::array<QRgb, 24> kBandColours{
    0xFA64B4, 0xFF50FF, 0x5050FF, 0x50FF64, 0xFFFF64, 0xFF6464, 0xFFB414, 0xFF64B4,
    0xB464FF, 0x8CB4FF, 0x14B4FF, 0x50FFFF, 0x28FFA0, 0x145AFA, 0x50FFFF, 0xFFFF14,
    0x5064FF, 0x14FF50, 0x50FF28, 0xB4FF14, 0xFF50FF, 0x5078FA, 0xFAFAFA, 0xFA647B};

constexpr std::array<double, 30> kGridHz{
    18,  20,  30,  40,   50,   60,   70,   80,   90,   100,  200,  300,  400,   500,   600,
    700, 800, 900, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 10000, 20000, 23000};
struct FrequencyLabel {
    double hz;
    const char* text;
};
constexpr std::array<FrequencyLabel, 10> kGridLabels{{{20, "20Hz"},
                                                      {50, "50Hz"},
                                                      {100, "100Hz"},
                                                      {200, "200Hz"},
                                                      {500, "500Hz"},
                                                      {1000, "1kHz"},
                                                      {2000, "2kHz"},
                                                      {5000, "5kHz"},
                                                      {10000, "10kHz"},
                                                      {20000, "20kHz"}}};

QColor withAlpha(QColor c, int alpha) {
    c.setAlpha(alpha);
    return c;
}

QColor fromRgb(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QString gainLabelText(int gainDb) {
    return QString::asprintf("%+-.0fdB", static_cast<double>(gainDb));
}

// Room between the panel's left edge and its widest gain label.
constexpr double kGainLabelMargin = 2.0;
// The value labels: padding inside their backdrop, gap to the marker's ring.
constexpr double kLabelPadding = 3.0;
constexpr double kLabelGap = 12.0;

}  // namespace

CEqPanel::CEqPanel(QWidget* parent) : QWidget(parent) {
    panelFont_ = controlFont(FontRole::Cjk, 13);
    gridFont_ = controlFontPt(FontRole::Latin, 8.4);
    gridFont_.setStretch(QFont::SemiCondensed);
    // The gain labels keep a margin from the panel's left edge: the grid
    // font, smaller where the face is too wide for the room left of the plot.
    gainFont_ = gridFont_;
    const double room = kLeftInset - 3.0 - kGainLabelMargin;
    for (int px = gainFont_.pixelSize(); px > 6; --px) {
        gainFont_.setPixelSize(px);
        const QFontMetricsF fm(gainFont_);
        double widest = 0.0;
        for (int g = -15; g <= 15; g += 3)
            widest = std::max(widest, fm.horizontalAdvance(gainLabelText(g)));
        if (widest <= room) break;
    }
    numberFont_ = controlFontPt(FontRole::Latin, 8);
    statusFont_ = controlFontPt(FontRole::Cjk, 9);
    bypassFont_ = controlFont(FontRole::CjkBold, 72);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    resize(sizeHint());
    syncPlotWidth();
}

// ---------------------------------------------------------------------------
// Host operations

void CEqPanel::setEqNumber(int eq) {
    model_.setEqNumber(eq);
    curveColour_ =
        model_.eqNumber() == kEqEchoA ? QColor(0x00, 0xDC, 0x00) : QColor(0x00, 0xC8, 0xFF);
    dropHiddenSelection();
    update();
}

void CEqPanel::setBandCount(int n) {
    syncPlotWidth();
    model_.setBandCount(n);
    dropHiddenSelection();
    update();
}

void CEqPanel::setType(int band, int type) {
    syncPlotWidth();
    model_.setType(band, type);
    update();
}

void CEqPanel::setGain(int band, float gain) {
    syncPlotWidth();
    model_.setGain(band, gain);
    update();
}

void CEqPanel::setFrequency(int band, float freq) {
    syncPlotWidth();
    model_.setFrequency(band, freq);
    update();
}

void CEqPanel::setQ(int band, float q) {
    syncPlotWidth();
    model_.setQ(band, q);
    update();
}

void CEqPanel::applyCrossoverFamily(int point, int family) {
    syncPlotWidth();
    model_.applyCrossoverFamily(point, family);
    update();
}

void CEqPanel::recompute(int band) {
    syncPlotWidth();
    model_.recompute(band);
    dropHiddenSelection();
    update();
}

void CEqPanel::recomputeAll() {
    syncPlotWidth();
    model_.recomputeAll();
    dropHiddenSelection();
    update();
}

void CEqPanel::clearSelection() {
    selected_ = -1;
    leftDrag_ = false;
    rightDrag_ = false;
    update();
}

// Only the bands the graph shows are ever selected, hovered or edited: a
// subwoofer's hidden records and bands of type 0 are not.
void CEqPanel::dropHiddenSelection() {
    if (selected_ >= 0 && !isVisibleBand(selected_)) selected_ = -1;
    if (hover_ >= 0 && !isVisibleBand(hover_)) hover_ = -1;
}

void CEqPanel::setBypass(bool bypass) {
    bypass_ = bypass;
    update();
}

void CEqPanel::setLanguage(int language) {
    language_ = language;
    update();
}

QColor CEqPanel::bandColor(int band) {
    const auto i = static_cast<std::size_t>(std::max(0, band)) % kBandColours.size();
    return QColor::fromRgb(kBandColours[i]);
}

QMenu* CEqPanel::typeMenu() const {
    return menu_ != nullptr && menu_->isVisible() ? menu_ : nullptr;
}

// ---------------------------------------------------------------------------
// Geometry

QRectF CEqPanel::plotRect() const {
    return QRectF(QPointF(kLeftInset, kTopInset),
                  QPointF(width() - kRightInset, height() - kBottomInset));
}

double CEqPanel::xOfFrequency(double freq) const {
    const QRectF plot = plotRect();
    return plot.left() + plot.width() * std::log10(freq / kMinHz) / kDecades;
}

double CEqPanel::yOfGain(double gain) const {
    const QRectF plot = plotRect();
    return plot.top() + plot.height() * (15.0 - gain) / 30.0;
}

double CEqPanel::frequencyAtX(double x) const {
    const double w = plotRect().width();
    if (!(w > 0.0)) return kMinHz;
    return kMinHz * std::pow(10.0, kDecades * (x - kLeftInset) / w);
}

QPointF CEqPanel::markerPosition(int band) const {
    const EqBand& b = model_.band(band);
    return QPointF(xOfFrequency(static_cast<double>(b.freq)), yOfGain(static_cast<double>(b.gain)));
}

// The curve axis follows the plot's width; a panel of no width computes no curves.
void CEqPanel::syncPlotWidth() {
    const int w = static_cast<int>(plotRect().width());
    if (w != model_.axis().width()) model_.setPlotWidth(w > 0 ? w : 0);
}

void CEqPanel::resizeEvent(QResizeEvent*) {
    syncPlotWidth();
}

bool CEqPanel::isVisibleBand(int n) const {
    return n >= 0 && n < model_.visibleBandCount() && model_.band(n).type != 0;
}

bool CEqPanel::isLocked(int n) const {
    return isLockedBand(model_.eqNumber(), n);
}

int CEqPanel::hitTest(QPoint at, int tolerance, bool lastMatch) const {
    const QRectF plot = plotRect();
    int found = -1;
    for (int n = 0; n < model_.visibleBandCount(); ++n) {
        if (!isVisibleBand(n)) continue;
        const QPointF m = markerPosition(n) - plot.topLeft();
        const double dx = (at.x() - kLeftInset) - m.x();
        const double dy = (at.y() - kHitTop) - m.y();
        if (std::fabs(dx) < tolerance && std::fabs(dy) < tolerance) {
            found = n;
            if (!lastMatch) break;
        }
    }
    return found;
}

// ---------------------------------------------------------------------------
// Input

void CEqPanel::notify(int n) {
    if (n >= 0 && n < model_.bandCount()) emit bandChanged(n, model_.band(n));
}

void CEqPanel::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    syncPlotWidth();
    if (event->button() == Qt::LeftButton) {
        if (rightDrag_) return;
        setFocus(Qt::MouseFocusReason);
        leftDrag_ = true;
        selected_ = hitTest(at, kLeftHitTolerance, false);
        if (selected_ >= 0) {
            const QPointF m = markerPosition(selected_) - plotRect().topLeft();
            grab_ = QPointF(at.x() - kLeftInset - m.x(), at.y() - kHitTop - m.y());
            notify(selected_);
        }
        update();
    } else if (event->button() == Qt::RightButton) {
        if (leftDrag_) return;
        rightDrag_ = true;
        rightMoved_ = false;
        rightPress_ = at;
        selected_ = hitTest(at, kWideHitTolerance, false);
        if (selected_ >= 0) {
            qAnchorX_ = at.x() - kLeftInset;
            notify(selected_);
        }
        update();
    }
}

void CEqPanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (leftDrag_) {
        if (selected_ < 0) return;
        EqBand& b = model_.band(selected_);
        b.freq = static_cast<float>(frequencyAtX(at.x()));
        if (hasGain(b.type)) {
            const double h = plotRect().height();
            const double g = 15.0 - ((at.y() - kHitTop - grab_.y()) / h) * 30.0;
            b.gain = roundGainStep(static_cast<float>(g));
        } else {
            b.gain = 0.0f;
        }
        applyBandRules(b);
        model_.recompute(selected_);
        notify(selected_);
        update();
        return;
    }
    if (rightDrag_) {
        if (selected_ < 0 || isLocked(selected_)) return;
        // A drag is any movement of more than a pixel from where the button went down.
        if (std::abs(at.x() - rightPress_.x()) > 1 || std::abs(at.y() - rightPress_.y()) > 1)
            rightMoved_ = true;
        EqBand& b = model_.band(selected_);
        const double d = b.type >= kLowPass && b.type <= kHighShelf ? 80.0 : 12.0;
        const int x = at.x() - kLeftInset;
        const auto q = static_cast<float>(static_cast<double>(b.q) + (x - qAnchorX_) / d);
        model_.setQ(selected_, clampQ(b.type, q));
        qAnchorX_ = x;
        notify(selected_);
        update();
        return;
    }
    const int hover = hitTest(at, kWideHitTolerance, true);
    if (hover != hover_) {
        hover_ = hover;
        update();
    }
}

void CEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && leftDrag_) {
        leftDrag_ = false;
        if (selected_ >= 0) {
            notify(selected_);
        } else {
            emit selectionCleared();
        }
        update();
    } else if (event->button() == Qt::RightButton && rightDrag_) {
        rightDrag_ = false;
        if (selected_ >= 0) {
            notify(selected_);
            if (!rightMoved_ && hasTypeMenu(model_.eqNumber(), selected_))
                openTypeMenu(event->globalPosition().toPoint());
        }
        update();
    }
}

void CEqPanel::openTypeMenu(QPoint at) {
    static constexpr std::array<const char*, 5> kEnglish{"PEQ", "LP", "HP", "LS", "HS"};
    static constexpr std::array<const char*, 5> kChinese{"参量(PEQ)", "低通(LP)", "高通(HP)",
                                                         "低架(LS)", "高架(HS)"};
    if (menu_ == nullptr) {
        menu_ = new QMenu(this);
        for (int k = 0; k < 5; ++k) {
            QAction* action = menu_->addAction(QString());
            action->setData(kTypeCommandFirst + k);
        }
        connect(menu_, &QMenu::triggered, this,
                [this](QAction* action) { onTypeCommand(action->data().toInt()); });
    }
    const auto& names = language_ != 0 ? kEnglish : kChinese;
    const QList<QAction*> actions = menu_->actions();
    for (int k = 0; k < actions.size() && k < 5; ++k)
        actions[k]->setText(QString::fromUtf8(names[static_cast<std::size_t>(k)]));
    menu_->popup(at);
}

void CEqPanel::onTypeCommand(int command) {
    const int k = command - kTypeCommandFirst;
    if (k < 0 || k > 4 || !isVisibleBand(selected_)) return;
    syncPlotWidth();
    model_.setType(selected_, k + 1);
    notify(selected_);
    update();
}

void CEqPanel::keyPressEvent(QKeyEvent* event) {
    event->accept();  // every key addressed to the panel stops here
    if (!isVisibleBand(selected_)) return;
    EqBand& b = model_.band(selected_);
    const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
    switch (event->key()) {
        case Qt::Key_Left:
            b.freq -= 1.0f;
            break;
        case Qt::Key_Right:
            b.freq += 1.0f;
            break;
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (!hasGain(b.type)) return;
            b.gain += event->key() == Qt::Key_Up ? 0.1f : -0.1f;
            break;
        case Qt::Key_Plus:
        case Qt::Key_Minus:
            if (!keypad || isLocked(selected_)) return;
            b.q += event->key() == Qt::Key_Plus ? 0.01f : -0.01f;
            break;
        default:
            return;
    }
    syncPlotWidth();
    applyBandRules(b);
    model_.recompute(selected_);
    notify(selected_);
    update();
}

void CEqPanel::wheelEvent(QWheelEvent* event) {
    if (!isVisibleBand(selected_) || !hasGain(model_.band(selected_).type)) {
        event->ignore();
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // One step per notch; a fine-grained wheel still moves one step per message.
    const int steps = delta / 120 != 0 ? delta / 120 : (delta > 0 ? 1 : -1);
    syncPlotWidth();
    EqBand& b = model_.band(selected_);
    b.gain += 0.1f * static_cast<float>(steps);
    applyBandRules(b);
    model_.recompute(selected_);
    notify(selected_);
    update();
}

void CEqPanel::leaveEvent(QEvent* event) {
    if (hover_ >= 0 && !leftDrag_ && !rightDrag_) {
        hover_ = -1;
        update();
    }
    QWidget::leaveEvent(event);
}

// ---------------------------------------------------------------------------
// Painting

void CEqPanel::paintEvent(QPaintEvent*) {
    syncPlotWidth();
    QPainter p(this);
    const QRectF plot = plotRect();
    const BackgroundKey key{size(), targetDevicePixelRatio(p), model_.eqNumber(), language_};
    if (!(key == backgroundKey_) || background_.isNull()) {
        background_ = QImage(QSize(static_cast<int>(std::ceil(width() * key.dpr)),
                                   static_cast<int>(std::ceil(height() * key.dpr))),
                             QImage::Format_RGB32);  // opaque: painted as a plain copy
        background_.setDevicePixelRatio(key.dpr);
        QPainter bg(&background_);
        drawBackground(bg, plot);
        backgroundKey_ = key;
    }
    p.drawImage(QPointF(0, 0), background_);

    if (model_.axis().valid()) {
        p.save();
        p.setClipRect(plot);
        p.setRenderHint(QPainter::Antialiasing, true);
        if (isVisibleBand(selected_)) drawSelectedArea(p, plot);
        drawUnderCurve(p, plot);
        drawTotalCurve(p, plot);
        p.restore();
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    drawMarkers(p, plot);
    if (isVisibleBand(selected_)) {
        if (hover_ < 0) drawValueLabels(p, selected_);
        drawStatusLine(p, selected_);
    }
    if (hover_ >= 0 && isVisibleBand(hover_)) drawValueLabels(p, hover_);
    if (bypass_) {
        p.setFont(bypassFont_);
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("BYPASS"));
    }
}

void CEqPanel::drawBackground(QPainter& p, const QRectF& plot) const {
    p.fillRect(rect(), QColor(20, 20, 20));
    // Title, right-aligned to the plot, just above it.
    const std::string_view title = eqTitle(model_.eqNumber(), language_);
    p.setFont(panelFont_);
    p.setPen(QColor(255, 255, 0));
    p.drawText(QRectF(0, 0, plot.right() - 2, plot.top() - 1), Qt::AlignRight | Qt::AlignBottom,
               QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
    drawGrid(p, plot);
}

void CEqPanel::drawGrid(QPainter& p, const QRectF& plot) const {
    p.setFont(gridFont_);
    const QFontMetricsF fm(gridFont_);
    const QPen line(QColor(64, 64, 64), 1);
    const QColor label(128, 128, 128);
    // Whole pixels for crisp 1 px lines.
    const auto px = [](double v) { return std::floor(v) + 0.5; };
    for (int g = -15; g <= 15; g += 3) {
        const double y = px(yOfGain(g));
        p.setPen(line);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setFont(gainFont_);
    p.setPen(label);
    for (int g = -15; g <= 15; g += 3)
        p.drawText(gainLabelRect(g), Qt::AlignRight | Qt::AlignVCenter, gainLabelText(g));
    p.setFont(gridFont_);
    p.setPen(line);
    for (const double hz : kGridHz) {
        const double x = px(xOfFrequency(hz));
        p.drawLine(QPointF(x, plot.top() + 1), QPointF(x, plot.bottom()));
    }
    p.setPen(label);
    for (const FrequencyLabel& l : kGridLabels) {
        const double x = xOfFrequency(l.hz);
        const QString text = QString::fromLatin1(l.text);
        const double w = fm.horizontalAdvance(text);
        p.drawText(QRectF(x - w / 2.0 - 2.0, plot.bottom() + 4, w + 4.0, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, text);
    }
}

void CEqPanel::drawSelectedArea(QPainter& p, const QRectF& plot) const {
    Curve curve;
    model_.selectedCurve(selected_, curve);
    const int type = model_.band(selected_).type;
    const bool pass = isLowPassType(type) || isHighPassType(type);
    const double step = plot.width() / kCurvePoints;
    std::array<QPointF, kCurvePoints> pts;
    for (int i = 0; i < kCurvePoints; ++i)
        pts[static_cast<std::size_t>(i)] =
            QPointF(plot.left() + i * step,
                    curveY(plot.top(), plot.bottom(), curve[static_cast<std::size_t>(i)]));
    // The area closes along the 0 dB line, or for pass filters below the plot.
    QPointF first(plot.left(), yOfGain(0.0));
    QPointF last(plot.right(), yOfGain(0.0));
    if (pass) {
        first = QPointF(pts.front().x(), plot.bottom() + 20.0);
        last = QPointF(pts.back().x(), plot.bottom() + 20.0);
    }
    QPolygonF area = flattenedSpline(pts.data(), kCurvePoints, 0.5);
    area.prepend(first);
    area.append(last);
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(bandColor(selected_), 0x20));
    p.drawPolygon(area);
    p.setBrush(Qt::NoBrush);
}

QPolygonF CEqPanel::curveLine(const Curve& curve, const QRectF& plot) {
    const double step = plot.width() / kCurvePoints;
    std::array<QPointF, kCurvePoints> pts;
    for (int i = 0; i < kCurvePoints; ++i)
        pts[static_cast<std::size_t>(i)] =
            QPointF(plot.left() + i * step,
                    curveY(plot.top(), plot.bottom(), curve[static_cast<std::size_t>(i)]));
    return flattenedSpline(pts.data(), kCurvePoints, 0.1);
}

void CEqPanel::drawTotalCurve(QPainter& p, const QRectF& plot) {
    QPen pen(curveColour_, 2.0);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    p.drawPolyline(curveLine(model_.totalCurve(), plot));
}

void CEqPanel::drawMarkers(QPainter& p, const QRectF& plot) const {
    p.setFont(numberFont_);
    for (int n = 0; n < model_.visibleBandCount(); ++n) {
        if (!isVisibleBand(n)) continue;
        const EqBand& b = model_.band(n);
        const QPointF c = markerPosition(n);
        const QColor colour = bandColor(n);
        const int fillAlpha = n == selected_ ? 0x50 : 0x25;
        if (b.type == kPeq) {
            QPen ring(withAlpha(colour, 0x7F), 2.0);
            ring.setCapStyle(Qt::FlatCap);
            p.setPen(ring);
            p.setBrush(Qt::NoBrush);
            const QRectF outer(c.x() - 9.0, c.y() - 9.0, 18.0, 18.0);
            p.drawArc(outer, 15 * 16, 150 * 16);
            p.drawArc(outer, 195 * 16, 150 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(withAlpha(colour, fillAlpha));
            p.drawEllipse(c, 7.0, 7.0);
        } else {
            QPen dashed(withAlpha(colour, 0x7F), 1.5, Qt::DashLine);
            p.setPen(dashed);
            p.setBrush(withAlpha(colour, fillAlpha));
            p.drawRect(QRectF(c.x() - 7.0, c.y() - 7.0, 14.0, 14.0));
            if (n == selected_) {
                p.setPen(QPen(QColor(255, 0, 0), 1.5, Qt::DashLine));
                p.drawLine(QPointF(c.x(), plot.top()), QPointF(c.x(), plot.bottom()));
            }
        }
        p.setBrush(Qt::NoBrush);
        p.setPen(colour);
        p.drawText(QRectF(c.x() - 12.0, c.y() - 8.0, 24.0, 16.0), Qt::AlignCenter,
                   QString::number(n + 1));
    }
}

QRectF CEqPanel::gainLabelRect(int gainDb) const {
    const QFontMetricsF fm(gainFont_);
    const double w = fm.horizontalAdvance(gainLabelText(gainDb));
    const double y = std::floor(yOfGain(gainDb)) + 0.5;
    const double right = plotRect().left() - 3.0;
    return QRectF(right - w, y - fm.height() / 2.0, w, fm.height());
}

// Three lines a full line height apart on a dark backdrop, centred under the
// marker (above it for a cut), clear of its ring and kept inside the panel.
CEqPanel::ValueLabelLayout CEqPanel::valueLabelLayout(int n) const {
    const EqBand& b = model_.band(n);
    const QPointF m = markerPosition(n);
    const QFontMetricsF fm(gridFont_);
    const double lineHeight = std::ceil(fm.height()) + 1.0;
    const double caption = fm.horizontalAdvance(QStringLiteral("G:")) + 2.0;
    double value = 0.0;
    for (const std::string& text : {formatFrequency(b.freq), formatGain(b.gain), formatQ(b.q)})
        value = std::max(value, fm.horizontalAdvance(QString::fromStdString(text)));
    const double w = std::ceil(caption + value) + 2.0 * kLabelPadding;
    const double h = 3.0 * lineHeight + 2.0 * kLabelPadding;
    const double below = m.y() + kLabelGap;
    const double above = m.y() - kLabelGap - h;
    double top = b.gain < -0.01f ? above : below;
    if (top < 1.0) top = below;
    if (top + h > height() - 1.0) top = above;
    const double left = std::clamp(m.x() - w / 2.0, 1.0, std::max(1.0, width() - 1.0 - w));
    ValueLabelLayout layout;
    layout.backdrop = QRectF(left, top, w, h);
    for (std::size_t i = 0; i < layout.lines.size(); ++i)
        layout.lines[i] =
            QRectF(left + kLabelPadding, top + kLabelPadding + static_cast<double>(i) * lineHeight,
                   w - 2.0 * kLabelPadding, lineHeight);
    return layout;
}

void CEqPanel::drawValueLabels(QPainter& p, int n) const {
    const EqBand& b = model_.band(n);
    const std::array<std::pair<QString, QString>, 3> lines{{
        {QStringLiteral("F:"), QString::fromStdString(formatFrequency(b.freq))},
        {QStringLiteral("G:"), QString::fromStdString(formatGain(b.gain))},
        {QStringLiteral("Q:"), QString::fromStdString(formatQ(b.q))},
    }};
    const ValueLabelLayout layout = valueLabelLayout(n);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 20, 20, 0xD8));
    p.drawRoundedRect(layout.backdrop, 3.0, 3.0);
    p.setBrush(Qt::NoBrush);
    p.setFont(gridFont_);
    const QFontMetricsF fm(gridFont_);
    const double caption = fm.horizontalAdvance(QStringLiteral("G:")) + 2.0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const QRectF& r = layout.lines[i];
        const double baseline = r.top() + fm.ascent();
        p.setPen(QColor(180, 180, 180));
        p.drawText(QPointF(r.left(), baseline), lines[i].first);
        p.setPen(QColor(16, 255, 16));
        p.drawText(QPointF(r.left() + caption, baseline), lines[i].second);
    }
}

QRectF CEqPanel::titleRect() const {
    const std::string_view title = eqTitle(model_.eqNumber(), language_);
    const QFontMetricsF fm(panelFont_);
    const double w =
        fm.horizontalAdvance(QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())));
    const QRectF plot = plotRect();
    const double right = plot.right() - 2;
    const double bottom = plot.top() - 1;
    return QRectF(right - w, bottom - fm.height(), w, fm.height());
}

QFont CEqPanel::statusFontFor(const QString& whole) const {
    // Clear of the title by a gap; down to about half the size at most.
    const double room = titleRect().left() - 8.0 - kLeftInset;
    QFont f = statusFont_;
    for (int i = 0; i < 7 && QFontMetricsF(f).horizontalAdvance(whole) > room; ++i) {
        if (f.pixelSize() > 0) {
            f.setPixelSize(std::max(6, f.pixelSize() * 9 / 10));
        } else {
            f.setPointSizeF(std::max(5.0, f.pointSizeF() * 0.9));
        }
    }
    return f;
}

QRectF CEqPanel::statusLineRect(int n) const {
    if (n < 0 || n >= model_.bandCount()) return {};
    const StatusLine status = statusLine(model_.band(n), language_);
    const QString whole = QString::fromStdString(status.text + status.gainText);
    const QFontMetricsF fm(statusFontFor(whole));
    return QRectF(kLeftInset, 3, fm.horizontalAdvance(whole), fm.height());
}

void CEqPanel::drawStatusLine(QPainter& p, int n) const {
    const StatusLine status = statusLine(model_.band(n), language_);
    const QString text = QString::fromStdString(status.text);
    const QFont font = statusFontFor(text + QString::fromStdString(status.gainText));
    p.setFont(font);
    const QFontMetrics fm(font);
    const QPoint at(kLeftInset, 3 + fm.ascent());
    p.setPen(fromRgb(kStatusColour));
    p.drawText(at, text);
    p.setPen(fromRgb(status.gainColour));
    p.drawText(at + QPoint(fm.horizontalAdvance(text), 0), QString::fromStdString(status.gainText));
}

}  // namespace v36
