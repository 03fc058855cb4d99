#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

#include "controls/pictures.h"

namespace v36 {

// One item of the room: 0 the listener, 1..8 the speakers.
struct CSSItem {
    int number = 0;
    int pixelX = 0;
    int pixelY = 0;
    float x = 0.0f;  // metres, right positive
    float y = 0.0f;  // metres, front positive
};

// The room as a scaled grid with the listener and the speakers on it; items
// are dragged with the left button.
class CSSVolumePanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kItems = 9;
    static constexpr int kVisibleItems = 7;
    // The least margin around the room; the sides widen to hold the labels of
    // the lines, the top and bottom to hold the labels under the room.
    static constexpr int kMargin = 30;

    explicit CSSVolumePanel(QWidget* parent = nullptr);

    // Whole or fractional metres; sizes that are not positive are ignored.
    void setRoomSize(float width, float length);
    float roomWidth() const { return roomWidth_; }
    float roomLength() const { return roomLength_; }
    void setItemPosition(float x, float y, int item);
    // Speaker names in Chinese (0, the unit's own names) or English (1).
    void setLanguage(int language);
    QString itemName(int item) const;
    const CSSItem& item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    int selectedItem() const { return dragging_ ? selected_ : -1; }
    bool isDragging() const { return dragging_; }

    // Pixel position of a point in metres, and metres of a pixel.
    QPoint toPixel(float x, float y) const;
    float xFromPixel(int px) const;
    float yFromPixel(int py) const;
    // The inner rectangle (client less the margins) that items stay within.
    QRect innerRect() const;
    int marginX() const { return marginX_; }
    int marginY() const { return marginY_; }

    // A label of the grid: its text and the box its glyphs fill.
    struct Label {
        QRect box;
        QString text;
    };
    // The labels as they are drawn: the room's edges always, the whole metres
    // where they touch no other label.
    std::vector<Label> gridLabels() const;
    // Where a shown speaker's name goes: under its picture, or above it where
    // it would leave the floor, and never beyond the side walls. Empty for the
    // listener and the hidden items.
    QRect nameRect(int item) const;
    // Whether the item stands outside the room (the room was made smaller):
    // it is drawn at the wall, ringed.
    bool outsideRoom(int item) const;

    QSize sizeHint() const override { return {420, 420}; }

  signals:
    void itemPicked(const v36::CSSItem& item);  // message 2258
    void itemMoved(const v36::CSSItem& item);   // message 2259

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void relayout();
    void updateMargins();
    void drawGrid(QPainter& p) const;

    float roomWidth_ = 4.0f;
    float roomLength_ = 4.0f;
    int marginX_ = kMargin;
    int marginY_ = kMargin;
    std::array<CSSItem, kItems> items_{};
    bool dragging_ = false;
    int selected_ = -1;
    int language_ = 0;
    CGdiPlusBitmapResource listener_;
    CGdiPlusBitmapResource speaker_;
    QFont labelFont_;
    QFont numberFont_;
    QFont nameFont_;
};

}  // namespace v36

Q_DECLARE_METATYPE(v36::CSSItem)
