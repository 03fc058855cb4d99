#include "protocol/default_mode.h"

#include <array>
#include <chrono>
#include <string>

#include "protocol/report.h"

namespace v36 {

namespace {

// In the order they are tried: M1's names first, within a mode as listed.
constexpr std::array<std::array<std::string_view, 3>, 4> kDefaultModeNames{{
    {"默认1", "halvorn1", "m1"},
    {"默认2", "halvorn2", "m2"},
    {"默认3", "halvorn3", "m3"},
    {"默认4", "halvorn4", "m4"},
}};

}  // namespace

int defaultModeOfName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    for (std::size_t mode = 0; mode < kDefaultModeNames.size(); ++mode) {
        for (std::string_view prefix : kDefaultModeNames[mode]) {
            if (lower.starts_with(prefix)) return static_cast<int>(mode);
        }
    }
    return -1;
}

int defaultModeOf(const std::filesystem::path& file) {
    return defaultModeOfName(pathText(file.filename()));
}

FileResult DefaultModeState::loadModeFile(ParamStore& store, const std::filesystem::path& file) {
    pendingStoreMode = defaultModeOf(file);
    FileResult result = v36::loadModeFile(store, file);
    if (!result) pendingStoreMode = -1;
    return result;
}

bool DefaultModeState::storeAfterPush(Senders& senders) {
    const int mode = pendingStoreMode;
    pendingStoreMode = -1;
    if (mode < 0 || mode > 3) return false;
    ParamStore& store = senders.store();
    store.currentMode.store(mode);
    senders.sendCommand({cmd::kSetMode, mode, -1});
    senders.sleep(std::chrono::milliseconds(20));
    senders.sendCommand({cmd::kStoreMode, store.currentMode.load(), -1});
    return true;
}

}  // namespace v36
