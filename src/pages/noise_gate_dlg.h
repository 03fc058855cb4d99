#pragma once

#include <array>

#include "app/page.h"

class QLabel;

namespace v36 {

class CXBmpSlider;

// The attack and release times of the microphone and music noise gates
// (modal, F6). Each slider position p stores 101 - p, so the highest
// position is the shortest time; every move is an edit sent at once.
class CDialogNG : public CToolDialog {
    Q_OBJECT

  public:
    CDialogNG(CAppServices& app, QWidget* parent);

    void RefreshFromStore() override;

    CXBmpSlider* slider(int index) const { return sliders_.at(static_cast<std::size_t>(index)); }
    QLabel* valueLabel(int index) const { return labels_.at(static_cast<std::size_t>(index)); }

  private:
    void onSliderChanged(int index, int position);

    std::array<CXBmpSlider*, 4> sliders_{};
    std::array<QLabel*, 4> labels_{};
    bool refreshing_ = false;
};

}  // namespace v36
