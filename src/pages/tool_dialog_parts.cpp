#include "pages/tool_dialog_parts.h"

#include <QFontMetrics>
#include <QLabel>

#include "app/language.h"
#include "controls/bmp_slider.h"
#include "controls/image_button.h"

namespace v36 {

namespace {

constexpr int kSliderHeight = 22;

class WrappedText : public QLabel {
  public:
    WrappedText(QWidget* parent, int width) : QLabel(parent), width_(width) {
        setWordWrap(true);
        setFixedWidth(width);
        setAttribute(Qt::WA_TranslucentBackground);
    }
    // The width is fixed, so the height is known: the layouts take it as
    // the text's size (a top-level layout does not ask for heights for
    // widths when it sets the dialog's minimum).
    QSize sizeHint() const override { return {width_, heightForWidth(width_)}; }
    QSize minimumSizeHint() const override { return sizeHint(); }
    bool hasHeightForWidth() const override { return false; }

  private:
    int width_;
};

}  // namespace

QLabel* staticText(QWidget* parent, int id, const QString& text) {
    auto* label = new QLabel(text, parent);
    if (id != 0) setControlId(label, id);
    label->setAttribute(Qt::WA_TranslucentBackground);
    return label;
}

QLabel* wrappedText(QWidget* parent, int id, int width) {
    auto* label = new WrappedText(parent, width);
    if (id != 0) setControlId(label, id);
    return label;
}

CXBmpSlider* toolSlider(QWidget* parent, int id, int minimum, int maximum, int width) {
    auto* slider = new CXBmpSlider(parent);
    slider->setControlId(id);
    setControlId(slider, id);
    slider->setTrackSize(QSize(width, kSliderHeight));
    slider->setBackgroundColor(Qt::transparent);  // its group shows through
    slider->setRange(minimum, maximum);
    return slider;
}

CGdipButton* actionButton(QWidget* parent, int id) {
    auto* button = new CGdipButton(parent);
    button->setControlId(id);
    setControlId(button, id);
    button->loadStandard(picture::kActionButton);
    return button;
}

QLabel* valueLabel(QWidget* parent, int id, const QString& widest) {
    QLabel* label = staticText(parent, id);
    label->setMinimumWidth(QFontMetrics(label->font()).horizontalAdvance(widest) + 6);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

}  // namespace v36
