#include "remote/remote_keys.h"

#include <array>

#include "app/language.h"

namespace v36 {

namespace {

const std::array<RemoteKey, 17> kKeys{{
    {1587, 1, "Learning key:Power key", "您正在学习的键：启动/待机"},
    {1600, 2, "Learning key: Audio music source switch", "您正在学习的键：音乐源切换"},
    {1601, 3, "Learning key: Video HDMI switch ", "您正在学习的键：视频(HDMI)切换"},
    {1602, 4, "Learning key: M1/Up ", "您正在学习的键：M1/方向上"},
    {1603, 5, "Learning key:M4/Down ", "您正在学习的键：M4/方向下"},
    {1604, 6, "Learning key: M3/Left ", "您正在学习的键：M3/方向左"},
    {1605, 7, "Learning key: M2/Right ", "您正在学习的键：M2/方向右"},
    {1606, 8, "Learning key: OK key", "您正在学习的键：确认键"},
    {1607, 9, "Learning key:  Enter video menu", "您正在学习的键：进入视频菜单"},
    {1608, 10, "Learning key:  Mute ", "您正在学习的键：静音键"},
    {1609, 11, "Learning key: Esc video menu ", "您正在学习的键：退出视频菜单"},
    {1610, 12, "Learning key: Mic vol increase", "您正在学习的键：增大话筒音量"},
    {1611, 13, "Learning key:Mic vol decrease", "您正在学习的键：减小话筒音量"},
    {1612, 14, "Learning key: Effect vol increase", "您正在学习的键：增大效果音量"},
    {1613, 15, "Learning key: Effect vol decrease", "您正在学习的键：减小效果音量"},
    {1614, 16, "Learning key: Music vol increase", "您正在学习的键：增大音乐音量"},
    {1615, 17, "Learning key: Music vol decrease", "您正在学习的键：减小音乐音量"},
}};

}  // namespace

std::span<const RemoteKey> remoteKeys() {
    return kKeys;
}

const RemoteKey* remoteKey(int key) {
    if (key < 1 || key > static_cast<int>(kKeys.size())) return nullptr;
    return &kKeys.at(static_cast<std::size_t>(key - 1));
}

QString learningText(int key, int languageIndex) {
    const RemoteKey* k = remoteKey(key);
    return k ? pick(languageIndex, k->learnZh, k->learnEn) : QString();
}

QString keyFunctionName(int key, int languageIndex) {
    const QString text = learningText(key, languageIndex);
    // Everything after the first colon (either width).
    qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon < 0) colon = text.indexOf(QChar(0xFF1A));
    return text.mid(colon + 1).trimmed();
}

}  // namespace v36
