#include "app/ribbon_texts.h"

#include "app/language.h"

namespace v36 {

namespace {

QString prefix(VolumeControl control, int lang) {
    switch (control) {
        case VolumeControl::Mic:
            return pick(lang, "话筒音量:", "Mic    Vol: ");
        case VolumeControl::Effect:
            return pick(lang, "总效果音量:", "Effect    Vol:");
        case VolumeControl::Music:
            return pick(lang, "音乐音量:", "Music Vol:");
        case VolumeControl::Gate:
            return pick(lang, "音乐噪声门:", "Noisegate:   ");
    }
    return {};
}

QString pitchPrefix(int lang) {
    return pick(lang, "音乐变调:", "Music Pitch:");
}

// The five bars and the empty bar, as the unit's panel shows them.
const char* const kBars[] = {"■■■■■", "■■■■__", "■■■____", "■■______", "■_______"};
const char* const kNoBar = "_________";

QString bar(int level) {  // 5 .. 1, or 0 for none
    if (level <= 0) return QString::fromUtf8(kNoBar);
    return QString::fromUtf8(kBars[5 - level]);
}

// Five thresholds, highest first: more than thresholds[i] gives 5 - i bars.
QString barAbove(int value, const int (&thresholds)[5]) {
    for (int i = 0; i < 5; ++i) {
        if (value > thresholds[i]) return bar(5 - i);
    }
    return bar(0);
}

}  // namespace

QString volumeLabel(VolumeControl control, int languageIndex, int value) {
    return prefix(control, languageIndex) + QString::asprintf("%3d", value);
}

QString volumeLabelAfterSwitch(VolumeControl control, int languageIndex, int value) {
    // The language switch writes the noise gate's label with one blank.
    const QString head = control == VolumeControl::Gate
                             ? pick(languageIndex, "音乐噪声门:", "Noisegate: ")
                             : prefix(control, languageIndex);
    return head + QString::asprintf("%3d", value);
}

QString pitchCaptionMoved(int languageIndex, int pitch) {
    return pitchPrefix(languageIndex) + QString::asprintf("%3d", pitch);
}

QString pitchCaptionRefresh(int languageIndex, int pitch) {
    return pitchPrefix(languageIndex) + QString::asprintf("%d", pitch);
}

QString pitchCaptionRelabel(int languageIndex, int pitch) {
    // As a refresh writes it: a switch there and back leaves it as it was.
    return pitchCaptionRefresh(languageIndex, pitch);
}

QString noiseGateMenuText(int languageIndex) {
    return pick(languageIndex, "噪声门设置", "Noise gate setting") + QStringLiteral("\tF6");
}

QString machineSettingsMenuText(int languageIndex) {
    return pick(languageIndex, "机器设置", "Host Setting") + QStringLiteral("\tF7");
}

QString recentCaption(int languageIndex) {
    return pick(languageIndex, "最近的文档(Last documents)", "Last documents(最近的文档)");
}

QString categoryName(int category, int languageIndex) {
    return category == kOutputCategory ? pick(languageIndex, "输出调节", "Output")
                                       : pick(languageIndex, "输入控制", "Input");
}

QString panelNameAtStart(int panel, int lang) {
    switch (panel) {
        case 0:
            return pick(lang, "话筒音量", "Mic Vol");
        case 1:
            return pick(lang, "总效果音量", "Effect Vol");
        case 2:
            return pick(lang, "音乐音量", "Music Vol");
        case 3:
            return pick(lang, "音乐变调", "Music pitch");
        case 4:
            return pick(lang, "调用", "Load");
        case 5:
            return pick(lang, "保存", "Save");
        case 6:
            return pick(lang, "话筒1状态", "Mic 1 Status");
        case 7:
            return pick(lang, "话筒2状态", "Mic 2 Status");
        default:
            return {};
    }
}

QString panelNameAfterSwitch(int panel, int lang) {
    switch (panel) {
        case 0:
            return pick(lang, "话筒音量", "Mic  Vol");
        case 6:
            return pick(lang, "话筒 1 状态", "Mic 1 Status");
        case 7:
            return pick(lang, "话筒 2 状态", "Mic 2 Status");
        default:
            return panelNameAtStart(panel, lang);
    }
}

bool isInputCategoryName(const QString& name) {
    return name.compare(QString::fromUtf8("输入控制"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Input"), Qt::CaseInsensitive) == 0;
}

bool isOutputCategoryName(const QString& name) {
    return name.compare(QString::fromUtf8("输出调节"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("Output"), Qt::CaseInsensitive) == 0;
}

QString rfBar(std::uint8_t rf) {
    static constexpr int kThresholds[5] = {230, 210, 190, 170, 150};
    return barAbove(rf, kThresholds);
}

QString afBar(std::uint8_t af) {
    static constexpr int kThresholds[5] = {12, 9, 6, 3, 0};
    return barAbove(af, kThresholds);
}

QString batteryBar(std::uint8_t battery) {
    static constexpr int kThresholds[5] = {1610, 1562, 1524, 1408, 1330};
    return barAbove(8 * battery, kThresholds);
}

int channelStep(int channel) {
    if (channel < 0 || channel > 199) return -1;
    if (channel <= 12) return channel;
    if (channel <= 76) return channel + 1;
    if (channel <= 100) return channel + 2;
    return channel + 5;
}

QString channelFrequency(std::uint8_t channel) {
    const int step = channelStep(channel);
    if (step <= 0) return QStringLiteral("665.25MHz");
    return QString::asprintf("%.2fMHz", (665250.0 + 500.0 * step) / 1000.0);
}

MicStatusTexts micStatusTexts(const std::array<std::uint8_t, 4>& status, int lang) {
    MicStatusTexts t;
    t.rfAf = QStringLiteral("RF:%1 AF:%2").arg(rfBar(status[0]), afBar(status[1]));
    t.frequency = pick(lang, "频率:", "Freq:") + channelFrequency(status[2]);
    t.battery = pick(lang, "电   量:", "Battary: ") + batteryBar(status[3]);
    return t;
}

QString usbPaneText(bool connected, int lang) {
    return connected ? pick(lang, "USB：已连接", "USB:Connected")
                     : pick(lang, "USB：未连接", "USB:Disconnected");
}

QString unitChooserText(int open, int count, const QString& name, int lang) {
    if (open <= 0) {
        if (count == 1) return pick(lang, "已接入 1 台设备：打开它", "1 unit attached: open it");
        return pick(lang, "已接入 %1 台设备：请选择", "%1 units attached: choose one").arg(count);
    }
    return pick(lang, "设备 %1/%2 · %3", "Unit %1 of %2 · %3").arg(open).arg(count).arg(name);
}

QString unitMenuText(int index, const QString& serial, const QString& path, int lang) {
    const QString shown = serial.isEmpty() ? pick(lang, "（无序列号）", "(no serial)") : serial;
    return QStringLiteral("%1 · %2 (%3)").arg(index).arg(shown, path);
}

QString unitArrivedText(const QString& name, int lang) {
    return pick(lang, "又一台设备已接入：%1。可在状态栏中切换。",
                "Another unit arrived: %1. Switch to it in the status bar.")
        .arg(name);
}

QString modePaneText(int currentMode, const QString& modeName, int lang) {
    static const char* const kZh[] = {"模式一", "模式二", "模式三", "模式四"};
    static const char* const kEn[] = {"Mode1", "Mode2", "Mode3", "Mode4"};
    const int m = currentMode >= 0 && currentMode <= 3 ? currentMode : 0;
    const QString mode = pick(lang, kZh[m], kEn[m]);
    return pick(lang, "当前模式:", "Current Mode:") + QStringLiteral("%1[%2]").arg(mode, modeName);
}

QString volumeLimitMessage(VolumeControl control, int lang) {
    switch (control) {
        case VolumeControl::Mic:
            return pick(lang, "不能超过最大话筒音量!", "Mic vol can't over max value!");
        case VolumeControl::Music:
            return pick(lang, "不能超过最大音乐音量!", "Music vol can't over max value!");
        default:
            return {};
    }
}

QString muteHintMessage(int lang) {
    return pick(lang, "当前是静音状态", "vol is mute");
}

}  // namespace v36
