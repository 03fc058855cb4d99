#pragma once

#include <QWidget>

#include "controls/pictures.h"

namespace v36 {

// The integer slider of the editor pages: a track picture, a fill picture
// revealed up to the thumb, and a thumb picture (normal, focused, disabled).
// The control is painted at the track picture's size.
class CXBmpSlider : public QWidget {
    Q_OBJECT
  public:
    enum class Orientation { Horizontal, Vertical };

    explicit CXBmpSlider(QWidget* parent = nullptr,
                         Orientation orientation = Orientation::Horizontal);

    void setControlId(int id) { controlId_ = id; }
    int controlId() const { return controlId_; }

    // Minimum and maximum; a reversed pair is swapped. The position is clamped.
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    // Clamped to the range.
    void setPosition(int position);
    int position() const { return position_; }

    // Pictures by number (0 keeps the current one). The control takes the track's size.
    bool loadPictures(int track, int fill, int thumbNormal, int thumbFocused, int thumbDisabled);
    // Stretches the (drawn) track and fill pictures, for placeholders of other sizes.
    void setTrackSize(QSize size);
    // Start and end margins of the thumb's travel, the cross offset (thumb y on a
    // horizontal slider, top margin on a vertical one) and the bottom margin.
    void setMargins(int start, int end, int cross, int bottom);
    void setBackgroundColor(QColor colour);

    bool isVertical() const { return orientation_ == Orientation::Vertical; }
    bool isDragging() const { return dragging_; }
    // The thumb's left (horizontal) or top (vertical) pixel for a position.
    int positionToPixel(int position) const;
    // The position for a thumb pixel, not clamped.
    int pixelToPosition(int pixel) const;
    QRect thumbRect() const;

    QSize sizeHint() const override;

  signals:
    void sliderChanged(int controlId, int position);
    void sliderFocus(int controlId);
    void sliderReleased(int controlId, int position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void step(int delta);
    int clamp(int position) const;
    void updateFixedSize();

    Orientation orientation_;
    int controlId_ = 0;
    int minimum_ = 0;
    int maximum_ = 127;
    int position_ = 0;
    int startMargin_ = 7;
    int endMargin_ = 7;
    int crossOffset_ = 3;
    int bottomMargin_ = 2;
    bool dragging_ = false;
    bool focused_ = false;
    QColor background_{0xC7, 0xC7, 0xC7};
    CGdiPlusBitmapResource track_;
    CGdiPlusBitmapResource fill_;
    CGdiPlusBitmapResource thumbNormal_;
    CGdiPlusBitmapResource thumbFocused_;
    CGdiPlusBitmapResource thumbDisabled_;
};

}  // namespace v36
