#pragma once

#include <QString>
#include <span>

namespace v36 {

// One of the seventeen remote-control functions the unit can learn: the
// key area's control id, the key number sent to the unit, and the
// learning texts in English and Chinese.
struct RemoteKey {
    int control = 0;
    int key = 0;
    const char* learnEn = "";
    const char* learnZh = "";
};

// Keys 1..17 in key order.
std::span<const RemoteKey> remoteKeys();
// The entry of key 1..17; null for another number.
const RemoteKey* remoteKey(int key);

// "Learning key: ..." / "您正在学习的键：..." of a key in a language.
QString learningText(int key, int languageIndex);
// The key's function alone ("Power key", "启动/待机"), for tool tips.
QString keyFunctionName(int key, int languageIndex);

}  // namespace v36
