#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <array>

#include "dsp/eq_model.h"

class QMenu;

namespace v36 {

// The graph on which a parametric EQ is shown and edited: a logarithmic
// 18 Hz ... 23 kHz axis, a +-15 dB axis, the summed response, the selected
// band's area, one numbered marker per band, value labels, a status line and
// an optional "BYPASS" overlay. Markers are dragged with the left button
// (frequency and gain) and the right button (Q); a right click opens the type
// menu; arrow keys, keypad plus/minus and the wheel make fine steps. The
// panel computes every curve through its EqGraphModel and tells the host which
// band changed; the host sends it.
class CEqPanel : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kLeftInset = 36;
    static constexpr int kTopInset = 18;
    static constexpr int kRightInset = 6;
    static constexpr int kBottomInset = 20;
    // Pointer y is taken relative to this line for hits and gain drags: the
    // plot's top, so that a hit zone is centred on its marker.
    static constexpr int kHitTop = kTopInset;
    // Half the side of a marker's hit square for the left button: the ring
    // (18 px across, drawn 2 px wide) hits wherever it is drawn.
    static constexpr int kLeftHitTolerance = 11;
    // The right button and hovering reach further.
    static constexpr int kWideHitTolerance = 16;
    // Menu command of the first type ("PEQ"); the others follow.
    static constexpr int kTypeCommandFirst = 2025;

    explicit CEqPanel(QWidget* parent = nullptr);

    // ---- the host's operations ----
    // EQ number 0..11: title, curve colour and locked bands. Call before setBandCount.
    void setEqNumber(int eq);
    int eqNumber() const { return model_.eqNumber(); }
    // Marks n bands in use with placeholder values, gains 0, all curves recomputed.
    void setBandCount(int n);
    int bandCount() const { return model_.bandCount(); }
    // Editing paths under the band rules; each recomputes the band and repaints.
    void setType(int band, int type);
    void setGain(int band, float gain);
    void setFrequency(int band, float freq);
    void setQ(int band, float q);
    // Subwoofer EQ only: a crossover family on point `point`.
    void applyCrossoverFamily(int point, int family);
    // Direct access to the working copy; after loading values call recompute.
    EqGraphModel& model() { return model_; }
    const EqGraphModel& model() const { return model_; }
    EqBand& band(int n) { return model_.band(n); }
    const EqBand& band(int n) const { return model_.band(n); }
    void recompute(int band);
    void recomputeAll();

    void setBypass(bool bypass);
    bool isBypassed() const { return bypass_; }
    // 0 Chinese, 1 English: title, menu and status line.
    void setLanguage(int language);
    int language() const { return language_; }

    int selectedBand() const { return selected_; }
    // Forgets the selected band (a host that reloads its EQ).
    void clearSelection();
    int hoverBand() const { return hover_; }
    bool isLeftDragging() const { return leftDrag_; }
    bool isRightDragging() const { return rightDrag_; }
    QColor curveColor() const { return curveColour_; }
    static QColor bandColor(int band);

    // ---- geometry ----
    QRectF plotRect() const;
    double xOfFrequency(double freq) const;
    double yOfGain(double gain) const;
    double frequencyAtX(double x) const;
    // Client position of a band's marker.
    QPointF markerPosition(int band) const;
    // The band under a pointer position with tolerance t (first or last match), -1 for none.
    int hitTest(QPoint at, int tolerance, bool lastMatch) const;

    // Where the three value labels of band n go ("F:", "G:", "Q:" lines, top
    // to bottom) and the backdrop that holds them, in client pixels.
    struct ValueLabelLayout {
        QRectF backdrop;
        std::array<QRectF, 3> lines;
    };
    ValueLabelLayout valueLabelLayout(int band) const;
    // The box of the label of the gain grid line at `gainDb` (-15 ... +15).
    QRectF gainLabelRect(int gainDb) const;
    // The box of the EQ's title above the plot, and of band n's status line
    // ("Index=… Frequency=… Gain=…") left of it: the status line takes a
    // smaller font where it would reach the title.
    QRectF titleRect() const;
    QRectF statusLineRect(int band) const;

    // The type menu while it is open (nullptr otherwise).
    QMenu* typeMenu() const;

    QSize sizeHint() const override { return {760, 340}; }

  private:
    // The status line's font for its whole text.
    QFont statusFontFor(const QString& whole) const;

  signals:
    // Band `band` was hit or changed; `data` is its working-copy record.
    void bandChanged(int band, const v36::EqBand& data);
    // The left button was released with no band selected.
    void selectionCleared();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    // A curve on the plot as the polyline the painter strokes.
    static QPolygonF curveLine(const Curve& curve, const QRectF& plot);
    // What a host draws on the plot under the summed curve (clipped to the
    // plot, antialiased); nothing by default.
    virtual void drawUnderCurve(QPainter& p, const QRectF& plot) {
        (void)p;
        (void)plot;
    }

  private:
    void syncPlotWidth();
    bool isVisibleBand(int n) const;
    // A selection or hover that no longer shows (an EQ switch, a reload) is dropped.
    void dropHiddenSelection();
    bool isLocked(int n) const;
    void notify(int n);
    void openTypeMenu(QPoint at);
    void onTypeCommand(int command);
    void drawBackground(QPainter& p, const QRectF& plot) const;
    void drawGrid(QPainter& p, const QRectF& plot) const;
    void drawSelectedArea(QPainter& p, const QRectF& plot) const;
    void drawTotalCurve(QPainter& p, const QRectF& plot);
    void drawMarkers(QPainter& p, const QRectF& plot) const;
    void drawValueLabels(QPainter& p, int n) const;
    void drawStatusLine(QPainter& p, int n) const;

    EqGraphModel model_;
    int language_ = 0;
    bool bypass_ = false;
    int selected_ = -1;
    int hover_ = -1;
    bool leftDrag_ = false;
    bool rightDrag_ = false;
    bool rightMoved_ = false;
    QPoint rightPress_;
    QPointF grab_;
    int qAnchorX_ = 0;
    QColor curveColour_{0x00, 0xC8, 0xFF};
    QFont panelFont_;
    QFont gridFont_;
    QFont gainFont_;  // the grid font, made to fit left of the plot
    QFont numberFont_;
    QFont statusFont_;
    QFont bypassFont_;
    QMenu* menu_ = nullptr;
    // Background, title and grid, drawn again only when one of them changes.
    struct BackgroundKey {
        QSize size;
        double dpr = 0.0;
        int eq = -1;
        int language = -1;
        bool operator==(const BackgroundKey&) const = default;
    };
    QImage background_;
    BackgroundKey backgroundKey_;
};

}  // namespace v36
