#pragma once

#include <chrono>

#include "protocol/sync.h"

namespace v36::test {

// Pauses of a pull or push short enough for tests of many runs.
inline SyncTimings quickSyncTimings() {
    using std::chrono::milliseconds;
    SyncTimings t;
    t.pullStart = milliseconds(1);
    t.afterRead = milliseconds(1);
    t.beforeDone = milliseconds(1);
    t.afterDone = milliseconds(1);
    t.pushStart = milliseconds(1);
    t.pushEnd = milliseconds(1);
    t.musicFadeStep = milliseconds(0);
    return t;
}

}  // namespace v36::test
