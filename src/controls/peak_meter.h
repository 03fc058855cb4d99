#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <array>
#include <span>
#include <vector>

namespace v36 {

// LED-style level bars with three colour zones, a falling release and an
// optional peak-hold line. The release runs on a timer of the GUI thread.
class CPeakMeterCtrl : public QWidget {
    Q_OBJECT
  public:
    // Style bit 0: horizontal bars (LEDs left to right, one row per band).
    static constexpr int kHorizontal = 1;

    struct Band {
        int value = 0;
        int peak = 0;
        int hold = 0;
    };

    explicit CPeakMeterCtrl(QWidget* parent = nullptr);

    void setMeterStyle(int style);
    int meterStyle() const { return style_; }
    void setBackgroundColor(QColor colour);
    void setColors(const std::array<QColor, 3>& lit, const std::array<QColor, 3>& unlit);
    // Values below `low` light the low zone, up to `middle` the middle zone,
    // above it the high zone; `range` is full scale (at least 1).
    void setRanges(int low, int middle, int range);
    void setLedCount(int leds);
    int ledCount() const { return leds_; }
    void setHoldTime(int ticks) { holdTime_ = ticks; }
    void setPeakLine(bool on);

    // Resizes the band list; every band starts full (value = peak = range).
    void setBandCount(int bands);
    int bandCount() const { return static_cast<int>(bands_.size()); }
    const Band& band(int index) const { return bands_.at(static_cast<std::size_t>(index)); }

    // Starts the periodic release unless it has been started already.
    void startReleaseTimer(int periodMs);
    bool releaseStarted() const { return releaseStarted_; }
    bool releaseRunning() const { return timer_.isActive(); }

    // Values for bands first, first + 1, ...; each is clamped to 0 ... range.
    void setData(std::span<const int> values, int first = 0);
    // One release step: bars fall by range / LEDs, peaks by half of that after
    // their hold time; the timer stops once everything is at 0.
    void releaseTick();

    // The colour of LED `led` of a bar at `value`.
    QColor ledColor(int led, int value) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int zoneOf(int led) const;

    int style_ = 0;
    QColor background_;
    std::array<QColor, 3> lit_{QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
    std::array<QColor, 3> unlit_{QColor(2, 60, 2), QColor(60, 60, 2), QColor(60, 2, 2)};
    int lowLimit_ = 180;
    int middleLimit_ = 200;
    int range_ = 230;
    int leds_ = 8;
    int holdTime_ = 10;
    int periodMs_ = 10;
    bool peakLine_ = true;
    bool releaseStarted_ = false;
    std::vector<Band> bands_;
    QTimer timer_;
};

}  // namespace v36
