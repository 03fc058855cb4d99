#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace v36 {

// Command ids of the ribbon, its menus and the status bar.
namespace id {
// Application menu.
constexpr int kOpen = 57601;
constexpr int kSave = 57603;
constexpr int kExit = 57665;
constexpr int kAbout = 57664;
constexpr int kUndo = 57643;
constexpr int kRedo = 57644;
constexpr int kRoomRemote = 32940;
constexpr int kNoiseGate = 32941;        // also F6
constexpr int kMachineSettings = 32942;  // also F7
constexpr int kBrokerRoom = 32943;
// Buttons beside the category tabs.
constexpr int kHdmiMenu = 32909;
constexpr int kMusicSourceMenu = 12929;
constexpr int kMusicAgc = 32908;
constexpr int kResetUnit = 32811;
constexpr int kRemoteLearning = 32812;
constexpr int kAutoSub = 32883;
constexpr int kLanguage = 32805;
// Menu items.
constexpr int kHdmi1 = 12920;         // ..12923
constexpr int kMusicSource1 = 12924;  // ..12928 (three items shown)
constexpr int kRecallMode1 = 32910;   // ..32913
constexpr int kStoreMode1 = 32914;    // ..32917
// Status bar.
constexpr int kPaneUsb = 120;
constexpr int kPaneMode = 121;
constexpr int kPaneEmpty = 32923;
constexpr int kEqBypass = 1121;
constexpr int kEqReset = 1122;
}  // namespace id

// The two categories have the same panels; the Output category uses ids of
// its own. Index 0 is Input, 1 Output.
struct RibbonIds {
    int micLabel, micSlider, micMute;
    int effectLabel, effectSlider;
    int musicLabel, musicSlider, musicMute;
    int gateLabel, gateSlider, pitchSlider;
    int loadMode, loadFile;
    int saveMode, saveFile;
    std::array<int, 3> mic1Status;  // RF/AF, frequency, battery
    std::array<int, 3> mic2Status;
};
inline constexpr std::array<RibbonIds, 2> kRibbonIds{{
    {32832,
     32829,
     32847,
     32918,
     32920,
     32834,
     32831,
     32850,
     32842,
     32846,
     32841,
     32815,
     32827,
     32819,
     32828,
     {32924, 32925, 32926},
     {32927, 32928, 32929}},
    {32857,
     32858,
     32859,
     32919,
     32921,
     32866,
     32867,
     32868,
     32878,
     32879,
     32880,
     32900,
     32881,
     32904,
     32882,
     {32930, 32931, 32932},
     {32933, 32934, 32935}},
}};
constexpr int kInputCategory = 0;
constexpr int kOutputCategory = 1;
constexpr int kPanelCount = 8;
constexpr int kPitchPanel = 3;

// The four slider controls that show a value label.
enum class VolumeControl { Mic, Effect, Music, Gate };

// "%s%3d" of the control's label prefix and the value.
QString volumeLabel(VolumeControl control, int languageIndex, int value);
// The same as written by a language switch (the noise gate's English prefix
// has one blank there instead of three).
QString volumeLabelAfterSwitch(VolumeControl control, int languageIndex, int value);
// The pitch caption of panel 3: after a pitch move ("%s%3d"), after a
// refresh or a language switch ("%s%d").
QString pitchCaptionMoved(int languageIndex, int pitch);
QString pitchCaptionRefresh(int languageIndex, int pitch);
QString pitchCaptionRelabel(int languageIndex, int pitch);

// The application menu's entries of the dialogs that keys open, with the
// key shown beside them.
QString noiseGateMenuText(int languageIndex);
QString machineSettingsMenuText(int languageIndex);

// The caption above the recent documents, the window's language first.
QString recentCaption(int languageIndex);

// The category names and the panel names as built at start and as set by a
// language switch (they differ in two places).
QString categoryName(int category, int languageIndex);
QString panelNameAtStart(int panel, int languageIndex);
QString panelNameAfterSwitch(int panel, int languageIndex);
// Whether a category name is the Input or the Output category in either
// language (case ignored).
bool isInputCategoryName(const QString& name);
bool isOutputCategoryName(const QString& name);

// Wireless-microphone status: bars and the receiver frequency.
QString rfBar(std::uint8_t rf);
QString afBar(std::uint8_t af);
QString batteryBar(std::uint8_t battery);
// The step number of receiver channel c (0..199); -1 above 199.
int channelStep(int channel);
// "%.2fMHz" of the channel's frequency ("665.25MHz" above 199 or at step 0).
QString channelFrequency(std::uint8_t channel);
// The three label texts of one microphone from its four status bytes
// (RF, AF, channel, battery).
struct MicStatusTexts {
    QString rfAf, frequency, battery;
};
MicStatusTexts micStatusTexts(const std::array<std::uint8_t, 4>& status, int languageIndex);

// Status pane texts.
QString usbPaneText(bool connected, int languageIndex);
// "当前模式:%s[%s]" / "Current Mode:%s[%s]" with the mode and its name.
QString modePaneText(int currentMode, const QString& modeName, int languageIndex);
// The unit chooser: "Unit 2 of 3 · SIM0002" for the open unit (`open`
// counted from 1, `name` its serial or else its path), or, with none open
// (open 0), how many are attached to choose from.
QString unitChooserText(int open, int count, const QString& name, int languageIndex);
// One entry of its menu: "2 · SIM0002 (virtual:v36/2)", "2 · (no serial)
// (/dev/hidraw3)".
QString unitMenuText(int index, const QString& serial, const QString& path, int languageIndex);
// The notice of a unit that arrived while another is open.
QString unitArrivedText(const QString& name, int languageIndex);

// The limit message of a volume control (empty when it has no limit).
QString volumeLimitMessage(VolumeControl control, int languageIndex);
QString muteHintMessage(int languageIndex);

}  // namespace v36
