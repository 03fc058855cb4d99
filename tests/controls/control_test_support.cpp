#include "control_test_support.h"

#include <QWheelEvent>

namespace v36::test {

void sendWheel(QWidget* widget, QPoint at, int delta) {
    QWheelEvent wheel(QPointF(at), widget->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

}  // namespace v36::test
