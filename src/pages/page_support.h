#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <span>

#include "app/edit_path.h"

class QWheelEvent;

namespace v36 {

class CAppServices;
class CXBmpSlider;

// A list column's width: at least `minimum`, and wide enough for each of
// `texts` in `view`'s font with the cell's padding.
int fitColumnWidth(const QWidget* view, int minimum, const QStringList& texts);

// Sends a wheel turn anywhere inside a page to the page's focused control:
// `route` is asked with the focused control and the event, and returns true
// when it took the turn (forwardWheel passes it on and tells whether the
// control used it); otherwise the control under the pointer gets it as usual.
class CWheelToFocus : public QObject {
    Q_OBJECT

  public:
    using Route = std::function<bool(QWidget* focus, QWheelEvent* event)>;

    CWheelToFocus(QWidget* page, Route route);
    ~CWheelToFocus() override;

    // Delivers `event` to `target` as if the pointer were over it; false
    // when the target did not use it (an EQ panel without a selected band).
    static bool forwardWheel(QWidget* target, const QWheelEvent* event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> page_;
    Route route_;
};

// A vertical bitmap slider whose track stretches to the height it is given
// (the band editor's and the value sliders of the pages).
class CSliderColumn : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kTrackWidth = 22;
    static constexpr int kMinTrackHeight = 90;

    explicit CSliderColumn(int controlId, QWidget* parent = nullptr);
    CXBmpSlider* slider() const { return slider_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    CXBmpSlider* slider_;
};

}  // namespace v36
