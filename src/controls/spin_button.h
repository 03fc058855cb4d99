#pragma once

#include <QTimer>
#include <QWidget>

namespace v36 {

// The up and down arrows beside an edit box. The control holds a position
// and a range and reports every step (at once on a press, then repeated
// while the button is held); its host decides the new position and sets it.
// A position set from outside is kept as given, even outside the range (a
// value from before the range shrank), so that the host's next step clamps
// it.
class CSpinButton : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kRepeatDelayMs = 400;
    static constexpr int kRepeatIntervalMs = 60;

    explicit CSpinButton(QWidget* parent = nullptr);

    // A reversed pair is swapped. The position is left as it is.
    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setPosition(int position) { position_ = position; }
    int position() const { return position_; }
    // The position one step (+1 up, -1 down) from here, clamped to the range.
    int stepped(int delta) const;

    QSize sizeHint() const override { return {17, 24}; }

  signals:
    // One step: +1 up, -1 down.
    void deltaPos(int delta);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void repeatStep();

    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    int held_ = 0;  // the half being held: +1 up, -1 down, 0 none
    QTimer repeat_;
};

}  // namespace v36
