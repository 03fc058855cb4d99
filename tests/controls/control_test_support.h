#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <string>

namespace v36::test {

// Renders a widget as it would appear at a device pixel ratio, over magenta
// where the widget draws nothing.
inline QImage renderControl(QWidget& widget, double dpr = 1.0) {
    QImage image(
        QSize(static_cast<int>(widget.width() * dpr), static_cast<int>(widget.height() * dpr)),
        QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::magenta);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Saves a rendering under the build folder's artefacts for a person to look at.
inline QString saveArtefact(const QImage& image, const QString& name) {
    QDir dir(QStringLiteral(V36_ARTEFACT_DIR));
    dir.mkpath(QStringLiteral("."));
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    image.save(path);
    return path;
}

// A pointer move with buttons held (QTest's move carries no buttons).
inline void sendMove(QWidget* widget, QPoint at, Qt::MouseButtons buttons) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// A wheel notch (+120 away from the user, -120 towards).
void sendWheel(QWidget* widget, QPoint at, int delta);

inline std::string str(const QString& s) {
    return s.toStdString();
}

}  // namespace v36::test
