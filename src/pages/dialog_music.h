#pragma once

#include <QColor>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>

#include "app/page.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace v36 {

class CEqEditor;
class CGdipButton;
class CGridListCtrl;
class CPeakMeterCtrl;
class CSmallEqPanel;
class CWheelToFocus;
class CXBmpSlider;

// A state picture of the unit drawn in its "on" or "off" look: the
// Bluetooth link and the wireless microphones' pairing.
class CStatePicture : public QWidget {
    Q_OBJECT

  public:
    enum class Kind { Bluetooth, MicPair };

    CStatePicture(Kind kind, QWidget* parent = nullptr);
    void setOn(bool on);
    bool isOn() const { return on_; }
    QSize sizeHint() const override { return {26, 26}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Kind kind_;
    bool on_ = false;
};

// The music and microphone input page (template 313): the microphone ports
// (channel, gate, level, meter), the echo and reverb parameters of the two
// microphone channels, the three input EQs, the music level, the unit's
// Bluetooth, pairing and audio format state, and the compact reverb and echo
// EQ curves that open the effects page.
class CDialogMusic : public CEditorPage {
    Q_OBJECT

  public:
    static constexpr int kTemplate = 313;
    static constexpr int kEffectRows = 9;
    static constexpr int kPorts = 4;
    static constexpr int kStatusMs = 300;

    // Control ids.
    static constexpr int kMicChannelA = 1068;  // selector buttons
    static constexpr int kMicChannelB = 1069;
    static constexpr int kMusic = 1070;
    static constexpr int kMicPair = 1071;
    static constexpr int kValueSlider = 1000;
    static constexpr int kValueEdit = 1038;
    static constexpr int kRowName = 1124;
    static constexpr int kParamList = 1141;
    static constexpr int kEchoCurve = 1143;
    static constexpr int kReverbCurve = 1144;
    static constexpr int kFormat = 1219;
    static constexpr int kBluetooth = 1217;
    static constexpr int kPairing = 1218;

    CDialogMusic(CAppServices& app, QWidget* parent);

    void RefreshFromStore() override;
    void ApplyLanguage() override;
    void ToggleEqBypass() override;
    bool IsEqBypassed() override;
    void ResetEq() override;

    // The input EQ shown: 1 CH A mic, 8 CH B mic, 0 music.
    int selection() const;
    // The selector buttons' action: 1, 8 or 0, then a reload. Nothing is sent.
    void selectInput(int eq);
    // The parameter row the value slider edits (0..8).
    int selectedRow() const { return row_; }
    void selectRow(int row);
    // The value slider's action for the selected row and channel.
    void applyRowValue(int value);
    // The status timer's work: meters, pictures and the audio format.
    void updateStatus();

    // Parts, for the host and tests.
    CEqEditor* eqEditor() const { return editor_; }
    CGridListCtrl* paramList() const { return list_; }
    CXBmpSlider* valueSlider() const;
    CXBmpSlider* portSlider(int controlId) const;   // 1052..1059
    QRadioButton* portButton(int controlId) const;  // 1190..1197
    QLabel* portLabel(int controlId) const;         // 1152..1166
    CPeakMeterCtrl* meter(int controlId) const;     // 1168..1173
    CSmallEqPanel* reverbCurve() const { return reverbCurve_; }
    CSmallEqPanel* echoCurve() const { return echoCurve_; }
    CGdipButton* selectorButton(int controlId) const;  // 1068..1071
    CStatePicture* bluetoothPicture() const { return bluetooth_; }
    CStatePicture* pairingPicture() const { return pairing_; }
    QLabel* formatText() const { return format_; }
    QLineEdit* valueEdit() const { return valueEdit_; }
    QLabel* rowName() const { return rowName_; }
    QTimer& statusTimer() { return statusTimer_; }

    // The parameter row's value for the selected channel, and its text.
    int rowValue(int row) const;
    QString rowText(int row) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* buildPorts();
    QWidget* buildEffects();
    QWidget* buildLevels();
    QWidget* buildStatus();
    QWidget* buildSelectors();
    void buildParamList();
    bool channelB() const { return selection() != 1; }
    bool effectsEnabled() const { return selection() != 0; }
    void refreshPorts();
    void refreshParams();
    void refreshCurves();
    void setRoute(int port, bool channelA);
    void onPortSlider(int controlId, int position);
    bool routeWheel(QWidget* focus, QWheelEvent* event);
    void stepValue(int delta);

    bool loading_ = false;
    int row_ = 0;
    CEqEditor* editor_ = nullptr;
    CGridListCtrl* list_ = nullptr;
    QWidget* valueColumn_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QLabel* rowName_ = nullptr;
    CSmallEqPanel* reverbCurve_ = nullptr;
    CSmallEqPanel* echoCurve_ = nullptr;
    std::array<CGdipButton*, 4> selectors_{};
    std::array<QWidget*, kPorts> ports_{};
    std::array<CXBmpSlider*, 2 * kPorts> portSliders_{};  // gates, then levels
    std::array<QLabel*, 2 * kPorts> portLabels_{};
    std::array<QRadioButton*, 2 * kPorts> routeButtons_{};
    std::array<CPeakMeterCtrl*, 6> meters_{};  // 1168..1173
    CStatePicture* bluetooth_ = nullptr;
    CStatePicture* pairing_ = nullptr;
    QLabel* format_ = nullptr;
    QTimer statusTimer_;
    CWheelToFocus* wheel_ = nullptr;
};

}  // namespace v36
