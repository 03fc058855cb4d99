#pragma once

#include <QFont>
#include <QWidget>
#include <array>

#include "controls/pictures.h"

namespace v36 {

// The eight channel delays as horizontal lanes on a common millisecond scale,
// each with a draggable handle at its delay and the value beside it. A lane
// tall enough for the handle and a line of text shows the value below the
// handle; a lower lane shows it beside the handle, on the side where it fits.
// The value never leaves the control, crosses a lane line or lies under
// another lane's handle.
class CDelayPanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLanes = 8;
    static constexpr int kLeft = 78;
    static constexpr int kTop = 5;
    static constexpr int kRight = 18;
    static constexpr int kBottom = 20;

    struct Lane {
        int number = 0;
        int handleX = 0;
        int top = 0;
        float value = 1.5f;
        float minimum = 1.5f;
        float maximum = 100.0f;
    };

    explicit CDelayPanel(QWidget* parent = nullptr);

    // Clamped to the lane's limits; moves the handle.
    void setValue(int lane, float ms);
    // Lane captions in Chinese (0, the unit's own names) or English (1).
    void setLanguage(int language);
    QString caption(int lane) const;
    float value(int lane) const;
    const Lane& lane(int index) const { return lanes_.at(static_cast<std::size_t>(index)); }
    int draggedLane() const { return dragging_ ? draggedLane_ : -1; }

    // Scale mapping: handle x for a value, and value for a handle x (clamped to
    // the lane's limits when `lane` is given).
    int valueToX(float ms) const;
    float xToValue(int x) const;
    QRect plotRect() const;

    // Lane i's band: its top, and the height every lane has.
    int laneTop(int lane) const;
    int laneHeight() const;
    // Where lane i's handle and its value text are drawn.
    QRect handleRect(int lane) const;
    QRect valueTextRect(int lane) const;
    // Whether the value text fits below the handle.
    bool valueBelowHandle() const;

    QSize sizeHint() const override { return {640, 400}; }
    // Lanes tall enough for the handle with the value below it.
    QSize minimumSizeHint() const override;

  signals:
    // A handle was dragged to a new value.
    void delayDrag(int lane, float valueMs);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void layoutLanes();
    int handleY(int lane) const;
    int textHeight() const;

    std::array<Lane, kLanes> lanes_{};
    int language_ = 0;
    float scaleMin_ = 0.0f;
    float scaleMax_ = 106.0f;
    CGdiPlusBitmapResource handle_;
    bool dragging_ = false;
    int draggedLane_ = -1;
    QFont font_;
};

}  // namespace v36
