#include "pages/page_support.h"

#include <QApplication>
#include <QFontMetrics>
#include <QResizeEvent>
#include <QWheelEvent>

#include "app/language.h"
#include "app/page.h"
#include "context/device_context.h"
#include "controls/bmp_slider.h"
#include "protocol/bytes.h"

namespace v36 {

int fitColumnWidth(const QWidget* view, int minimum, const QStringList& texts) {
    // The cell's margins and the grid line.
    constexpr int kPadding = 12;
    const QFontMetrics fm(view->font());
    int width = minimum;
    for (const QString& t : texts)
        width = std::max(width, fm.horizontalAdvance(t) + kPadding);
    return width;
}

// --- CWheelToFocus -------------------------------------------------------------------

CWheelToFocus::CWheelToFocus(QWidget* page, Route route)
    : QObject(page), page_(page), route_(std::move(route)) {
    // The turn reaches whatever is under the pointer first; the application
    // sees it before any of the page's controls does.
    qApp->installEventFilter(this);
}

CWheelToFocus::~CWheelToFocus() {
    if (qApp) qApp->removeEventFilter(this);
}

bool CWheelToFocus::forwardWheel(QWidget* target, const QWheelEvent* event) {
    const QPointF global = event->globalPosition();
    QWheelEvent copy(target->mapFromGlobal(global), global, event->pixelDelta(),
                     event->angleDelta(), event->buttons(), event->modifiers(), event->phase(),
                     event->inverted(), event->source());
    // Accepted unless the target ignores it (a control with nothing to turn).
    QApplication::sendEvent(target, &copy);
    return copy.isAccepted();
}

bool CWheelToFocus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel || !page_ || !route_) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || !(widget == page_ || page_->isAncestorOf(widget))) return false;
    // The window's focus control (the application's while the window is active).
    QWidget* focus = page_->window()->focusWidget();
    if (focus == nullptr || focus == widget || !page_->isAncestorOf(focus)) return false;
    return route_(focus, static_cast<QWheelEvent*>(event));
}

// --- CSliderColumn -------------------------------------------------------------------

CSliderColumn::CSliderColumn(int controlId, QWidget* parent)
    : QWidget(parent), slider_(new CXBmpSlider(this, CXBmpSlider::Orientation::Vertical)) {
    slider_->setControlId(controlId);
    setControlId(slider_, controlId);
    slider_->setBackgroundColor(Qt::transparent);  // its parent shows through
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

QSize CSliderColumn::sizeHint() const {
    return {kTrackWidth, 220};
}

QSize CSliderColumn::minimumSizeHint() const {
    return {kTrackWidth, kMinTrackHeight};
}

void CSliderColumn::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const QSize size(kTrackWidth, std::max(kMinTrackHeight, event->size().height()));
    slider_->setTrackSize(size);
    slider_->move((width() - kTrackWidth) / 2, 0);
}

}  // namespace v36
