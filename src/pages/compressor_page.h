#pragma once

#include <QString>
#include <array>

#include "app/page.h"

class QCheckBox;
class QLineEdit;

namespace v36 {

class CCompressPanelPlus;
class CPageButtonRow;
class CXBmpSlider;
struct OutputGroup;

// The output compressors (limiters): one per channel group (Main, Rear,
// Center, Sub; the Top group exists but stays hidden), each with its switch,
// its threshold, ratio, attack and release on sliders with a value box
// beside them, and its transfer curve.
class CCompDlg : public CEditorPage {
    Q_OBJECT

  public:
    static constexpr int kGroups = 5;  // main, rear, center, sub, top
    static constexpr int kShownGroups = 4;
    enum Param { Threshold, Ratio, Attack, Release };

    // The controls of one group: its switch, sliders and boxes (threshold,
    // ratio, attack, release), its curve and its row labels.
    struct GroupIds {
        int switchId;
        std::array<int, 4> sliders;
        std::array<int, 4> boxes;
        int curve;
        std::array<int, 4> labels;
    };
    static const GroupIds kIds[kGroups];
    static const OutputGroup& outputGroup(int group);

    CCompDlg(CAppServices& app, QWidget* parent);

    void RefreshFromStore() override;

    // The slider position for a stored value, and the value box's text.
    static int positionOf(Param param, float value);
    static QString valueText(Param param, float value);

    CXBmpSlider* slider(int group, Param param) const;
    QLineEdit* box(int group, Param param) const;
    QCheckBox* switchOf(int group) const;
    CCompressPanelPlus* curve(int group) const;
    CPageButtonRow* pageButtons() const { return buttons_; }

  private:
    void build();
    void onSlider(int group, Param param, int position);
    void onSwitch(int group, bool on);
    void showCurve(int group, float threshold, float ratio);

    struct Controls {
        QCheckBox* on = nullptr;
        std::array<CXBmpSlider*, 4> sliders{};
        std::array<QLineEdit*, 4> boxes{};
        CCompressPanelPlus* curve = nullptr;
    };
    std::array<Controls, kGroups> groups_{};
    CPageButtonRow* buttons_ = nullptr;
};

}  // namespace v36
