#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace v36 {

class CGdipButton;
class CXBmpSlider;

// The small parts the tool dialogs are built from.

// A static text on the dialog's background (transparent), labelled by the
// language file under `id`.
QLabel* staticText(QWidget* parent, int id, const QString& text = {});

// A static text wrapped to a fixed width; it asks the layout for the
// height its text needs at that width, in every language.
QLabel* wrappedText(QWidget* parent, int id, int width);

// A horizontal bitmap slider of `width` pixels with its range; `id` is its
// control id for the language file and the slider's own reports.
CXBmpSlider* toolSlider(QWidget* parent, int id, int minimum, int maximum, int width);

// A dialog's own push button, drawn from the action-button picture.
CGdipButton* actionButton(QWidget* parent, int id);

// A value label beside a slider, wide enough for `widest`.
QLabel* valueLabel(QWidget* parent, int id, const QString& widest);

}  // namespace v36
