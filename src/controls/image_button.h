#pragma once

#include <QAbstractButton>
#include <QFont>
#include <QImage>
#include <array>

#include "controls/pictures.h"

namespace v36 {

// A push button drawn from pictures with a centred caption: the standard
// picture, an optional alternate one (the "current page" look), and for each a
// normal, pressed, hover and disabled rendering. The pictures fill the button:
// a button laid out narrower or wider than its picture draws it at its own
// size. A disabled button greys its picture and draws the caption dark, so
// that it stays legible on the grey.
class CGdipButton : public QAbstractButton {
    Q_OBJECT
  public:
    enum class State { Normal, Pressed, Hover, Disabled };

    explicit CGdipButton(QWidget* parent = nullptr);

    void setControlId(int id) { controlId_ = id; }
    int controlId() const { return controlId_; }

    // Picture numbers; an unknown number leaves that picture empty (false).
    bool loadStandard(int id);
    bool loadAlternate(int id);
    void setCaption(const QString& caption);
    QString caption() const { return text(); }
    void setCaptionColor(QColor colour);
    void setAlternate(bool alternate);
    bool isAlternate() const { return alternate_; }

    State state() const;
    // The caption colour of the current state: dark on a disabled button,
    // and on a hovered one whose brightened picture leaves the caption
    // colour without contrast.
    QColor paintedCaptionColor() const;
    // The picture's size.
    QSize sizeHint() const override;
    // As narrow as the caption allows (the picture follows the button's size).
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // The renderings of one picture at one size and device pixel ratio.
    struct Renderings {
        QSize size;
        double dpr = 0.0;
        std::array<QImage, 4> images;  // by State
    };
    const QImage& rendering(const CGdiPlusBitmap& picture, Renderings& cache, State state,
                            QSize size, double dpr) const;
    // The caption colour of `state` over its rendering `image`.
    QColor captionOn(const QImage& image, State state) const;

    int controlId_ = 0;
    CGdiPlusBitmapResource standard_;
    CGdiPlusBitmapResource alternatePicture_;
    bool alternate_ = false;
    bool hover_ = false;
    QColor captionColour_{Qt::white};
    QFont captionFont_;
    mutable Renderings standardCache_;
    mutable Renderings alternateCache_;
};

}  // namespace v36
