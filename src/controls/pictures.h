#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QSize>

class QPainter;

namespace v36 {

// Numbers of the application's pictures. They are drawn with vectors at paint
// time, so they stay sharp at any device pixel ratio.
namespace picture {
constexpr int kSliderThumb = 320;          // 19 x 9
constexpr int kSliderTrack = 324;          // 131 x 22, horizontal track
constexpr int kSliderThumbDisabled = 325;  // 19 x 9
constexpr int kSliderThumbFocused = 369;   // 19 x 9
constexpr int kListener = 340;             // 36 x 36, seen from above, facing up
constexpr int kSpeaker = 341;              // 28 x 34
constexpr int kDelayHandle = 342;          // 25 x 22
constexpr int kNavButtonSelected = 395;    // 161 x 39
constexpr int kActionButton = 413;         // 100 x 30, a page's or dialog's own buttons
// The output page's speaker pictures, 220 x 150, Chinese / English caption.
constexpr int kSpeakerCenterZh = 361;
constexpr int kSpeakerMainZh = 363;
constexpr int kSpeakerRearZh = 366;
constexpr int kSpeakerSubZh = 368;
constexpr int kSpeakerCenterEn = 402;
constexpr int kSpeakerMainEn = 405;
constexpr int kSpeakerRearEn = 406;
constexpr int kSpeakerSubEn = 409;
constexpr int kSpeakerTopZh = 451;
constexpr int kSpeakerTopEn = 452;
constexpr int kBackButton = 397;  // 90 x 32
constexpr int kNavButton = 414;   // 161 x 39
// Pictures without a number of their own in the page templates.
constexpr int kSliderFill = 9001;           // 131 x 22, the filled horizontal track
constexpr int kSliderTrackVertical = 9002;  // 22 x 160
constexpr int kSliderFillVertical = 9003;   // 22 x 160
}  // namespace picture

// One picture: a drawn picture of the table above, or a raster image that a
// host supplies. An empty holder draws nothing.
class CGdiPlusBitmap {
  public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap() = default;
    CGdiPlusBitmap(const CGdiPlusBitmap&) = default;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = default;

    bool isNull() const { return draw_ == nullptr && image_.isNull(); }
    QSize size() const { return size_; }
    int width() const { return size_.width(); }
    int height() const { return size_.height(); }
    // The picture number, 0 for a raster image or an empty holder.
    int id() const { return id_; }

    void clear();
    // A raster picture; its size is the image's size in device-independent pixels.
    void setImage(const QImage& image);
    // Drawn pictures scale to any size; a raster image is stretched.
    void setSize(QSize size);

    // Paints the whole picture with its top-left corner at `at`.
    void draw(QPainter& painter, QPointF at) const;
    // Paints only `source` (in picture coordinates), at its place relative to `at`.
    void drawPart(QPainter& painter, QPointF at, const QRectF& source) const;
    // The picture rasterised for a device pixel ratio (transparent background).
    QImage toImage(double devicePixelRatio) const;

  protected:
    using DrawFunction = void (*)(QPainter&, const QSizeF&);
    DrawFunction draw_ = nullptr;
    QImage image_;
    QSize size_;
    int id_ = 0;
};

// A picture looked up by its number.
class CGdiPlusBitmapResource : public CGdiPlusBitmap {
  public:
    CGdiPlusBitmapResource() = default;
    explicit CGdiPlusBitmapResource(int id) { load(id); }
    // Loads picture `id`. An unknown number leaves the holder empty and returns false.
    bool load(int id);
};

}  // namespace v36
