#pragma once

#include <QString>
#include <array>

#include "app/edit_path.h"
#include "app/page.h"

class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace v36 {

class CDelayPanel;
class CPageButtonRow;
class CSpinButton;
class CXBmpSlider;
struct OutputGroup;

// The delay page: the time alignment of the eight output channels (the two
// Top channels kept hidden). Per channel an ON switch, the delay in
// milliseconds (typed and entered, stepped with the spin buttons, or dragged
// on the diagram), and whether the whole channel is delayed ("Channel") or
// only its upper range ("High Freq"), split by a high-pass / low-pass pair
// picked on a slider. Every change is an edit of the edit path.
class CDelayDlg : public CEditorPage {
    Q_OBJECT

  public:
    static constexpr int kChannels = 8;
    static constexpr int kDiagramId = 1250;
    // Spin positions are tenths of a millisecond.
    // The spins count tenths of a millisecond over the delay's range.
    static int spinMinimum();
    static int spinMaximum();

    CDelayDlg(CAppServices& app, QWidget* parent);

    void RefreshFromStore() override;
    void ApplyLanguage() override;

    // ---- parts, by channel 0..7 (Main L, Main R, Center, Sub, Rear L, Rear R,
    // Top L, Top R) ----
    QLabel* caption(int c) const { return rows_.at(index(c)).caption; }
    QCheckBox* onSwitch(int c) const { return rows_.at(index(c)).on; }
    QLineEdit* delayBox(int c) const { return rows_.at(index(c)).box; }
    CSpinButton* spin(int c) const { return rows_.at(index(c)).spin; }
    QRadioButton* highFreqRadio(int c) const { return rows_.at(index(c)).highFreq; }
    QRadioButton* channelRadio(int c) const { return rows_.at(index(c)).channel; }
    CXBmpSlider* splitSlider(int c) const { return rows_.at(index(c)).slider; }
    QLabel* splitLabel(int c) const { return rows_.at(index(c)).splitLabel; }
    int spinPosition(int c) const;
    CDelayPanel* diagram() const { return diagram_; }
    CPageButtonRow* pageButtons() const { return buttons_; }

    // The spin position that shows a delay: its tenths of a millisecond.
    static int spinPositionOf(float ms);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Row {
        QLabel* caption = nullptr;
        QCheckBox* on = nullptr;
        QLineEdit* box = nullptr;
        CSpinButton* spin = nullptr;
        QButtonGroup* modes = nullptr;
        QRadioButton* highFreq = nullptr;
        QRadioButton* channel = nullptr;
        CXBmpSlider* slider = nullptr;
        QLabel* splitLabel = nullptr;
    };
    static std::size_t index(int c) { return static_cast<std::size_t>(c); }

    void buildRow(int c, QGridLayout* grid);
    // The delay change of channel c, from any source: shown, and stored and
    // sent when it differs from the store.
    void applyDelay(int c, float ms);
    void onSpin(int c, int delta);
    void onEnter(int c);
    void onDrag(int lane, float ms);
    void onSwitch(int c, bool on);
    void onMode(int c, int mode);
    void onSplit(int c, int position);
    void showSplitPair(int c);
    void applyEnabling(int c);
    // Lines the channel rows up with the diagram's lanes.
    void alignRowsWithLanes();
    EditText splitText(int c) const;

    std::array<Row, kChannels> rows_{};
    CPageButtonRow* buttons_ = nullptr;
    CDelayPanel* diagram_ = nullptr;
    QWidget* table_ = nullptr;
    QGridLayout* grid_ = nullptr;
};

}  // namespace v36
