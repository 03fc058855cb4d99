#pragma once

#include <filesystem>
#include <string_view>

#include "protocol/mode_file.h"
#include "protocol/param_store.h"
#include "protocol/senders.h"

namespace v36 {

// The memory mode (0..3 for M1..M4) that a mode file's name designates, -1
// for none. The name (its directory is dropped) is cut before its last ".",
// ASCII letters are made lower case, and it must begin with "默认1",
// "halvorn1" or "m1" for M1 (and so on for M2..M4).
int defaultModeOfName(std::string_view fileNameUtf8);
int defaultModeOf(const std::filesystem::path& file);

// Loading a mode file that also lands in a memory mode: the name picks the
// mode before the file is read; when the unit has taken the pushed set, the
// live set is stored into that mode. Owned by whoever loads mode files (the
// GUI's application object, one command-line run); used from one thread.
struct DefaultModeState {
    int pendingStoreMode = -1;  // -1 when no default mode is pending

    // Applies the name rule, then reads the file into the store. A file that
    // is not read leaves nothing pending (and the store unchanged).
    FileResult loadModeFile(ParamStore& store, const std::filesystem::path& file);

    // Run once the push has completed and the unit was accepted: when a mode
    // is pending, command 3 with it (it also becomes `currentMode`), 20 ms,
    // command 4 with `currentMode`; nothing is pending afterwards. Returns
    // whether a mode was stored.
    bool storeAfterPush(Senders& senders);

    void clear() { pendingStoreMode = -1; }
};

}  // namespace v36
