#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "app/page.h"
#include "protocol/param_store.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace v36 {

class CGdipButton;
class CXBmpSlider;
class Edit;

// The unit-wide machine settings (modeless, F7): start and maximum volumes,
// save policies, panel locks, the power-on mode, the microphone phases and
// the reset of a memory mode. The controls edit the record `settingsEdit`
// (each change an undoable edit; start volumes and phases also play at
// once); Apply commits it to `settingsApplied` and sends it. The dialog
// always shows the record it would send: opening, Cancel, Escape and the
// close box drop what was not applied.
class CSetDlg : public CToolDialog {
    Q_OBJECT

  public:
    using Settings = std::array<std::uint8_t, kMachineSettingsSize>;

    // Control ids of the template.
    enum : int {
        kMicStartSlider = 1014,
        kMusicStartSlider = 1015,
        kMicMaxSlider = 1016,
        kMusicMaxSlider = 1019,
        kMicStartEnable = 1039,
        kMusicStartEnable = 1040,
        kPanelLock = 1046,
        kVolumeLock = 1047,
        kModeLock = 1048,
        kMicAPhase = 1193,
        kMicBPhase = 1194,
        kPowerOnMode = 1134,
        kApply = 1073,
        kCancel = 2,
        kFirstModeButton = 32823,  // M1..M4: 32823..32826
    };

    CSetDlg(CAppServices& app, QWidget* parent);

    void RefreshFromStore() override;
    void ApplyLanguage() override;

    CXBmpSlider* slider(int id) const;
    QLabel* valueLabel(int sliderId) const;
    QCheckBox* checkBox(int id) const;
    QRadioButton* radio(int id) const;
    QComboBox* powerOnMode() const { return powerOn_; }
    QPushButton* modeButton(int mode) const;
    CGdipButton* applyButton() const { return apply_; }
    CGdipButton* cancelButton() const { return cancel_; }

  public slots:
    // Enter does nothing; Escape is Cancel.
    void accept() override {}
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // One start volume with its maximum (microphone 0, music 1).
    struct Volume {
        int byteStart = 0;
        int byteMax = 0;
        int word = 0;
        CXBmpSlider* start = nullptr;
        CXBmpSlider* max = nullptr;
        QLabel* startCaption = nullptr;
        QLabel* startValue = nullptr;
        QLabel* maxValue = nullptr;
        QCheckBox* enable = nullptr;
    };

    void build();
    QWidget* buildVolumes();
    QWidget* buildSavePolicies();
    QWidget* buildLocks();
    QWidget* buildPowerOn();
    QWidget* buildPhases();
    QWidget* buildModeReset();

    Settings record() const;
    void apply(Edit edit);
    void showStart(const Volume& v, std::uint8_t byte);
    void showVolumes(const Settings& s);

    void onStartMoved(Volume& v, int position);
    void onMaxMoved(Volume& v, int position);
    void onStartEnabled(Volume& v, bool on);
    void onByteChanged(std::size_t byte, std::uint8_t value);
    void onLockChanged(int id, bool on);
    void onPhaseClicked(int word, bool inverted);
    void onApply();
    void onResetMode(int mode);
    // Drops the unapplied edits of the record (Cancel, Escape, close box).
    void discardEdits();

    std::array<Volume, 2> volumes_;
    QCheckBox* panelLock_ = nullptr;
    QCheckBox* volumeLock_ = nullptr;
    QCheckBox* modeLock_ = nullptr;
    QCheckBox* phaseA_ = nullptr;
    QCheckBox* phaseB_ = nullptr;
    QComboBox* powerOn_ = nullptr;
    std::array<QButtonGroup*, 3> policies_{};
    QButtonGroup* modes_ = nullptr;
    CGdipButton* apply_ = nullptr;
    CGdipButton* cancel_ = nullptr;
    bool refreshing_ = false;
    bool discarded_ = false;
};

}  // namespace v36
