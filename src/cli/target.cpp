#include "cli/target.h"

#include "cli/connection.h"

namespace v36::cli {

bool UnitTarget::load(std::string& error) {
    return unit_.pull(error);
}

ParamStore& UnitTarget::store() {
    return unit_.store();
}

Editor& UnitTarget::editor() {
    return unit_.context().editor;
}

bool UnitTarget::finish(std::string& /*error*/) {
    unit_.finishWrites();
    return true;
}

bool ModeFileTarget::load(std::string& error) {
    const FileResult r = loadModeFile(ctx_.store, path_);
    if (!r) {
        error = r.error.detail;
        return false;
    }
    loaded_ = captureModeImage(ctx_.store);
    return true;
}

bool ModeFileTarget::finish(std::string& error) {
    if (captureModeImage(ctx_.store) == loaded_) return true;
    const FileResult r = saveModeFile(ctx_.store, path_);
    if (!r) {
        error = r.error.detail;
        return false;
    }
    return true;
}

}  // namespace v36::cli
