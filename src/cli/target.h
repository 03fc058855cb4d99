#pragma once

#include <filesystem>
#include <string>

#include "context/device_context.h"
#include "protocol/mode_file.h"
#include "protocol/param_store.h"
#include "protocol/senders.h"

namespace v36::cli {

class Connection;

// What get, set and the eq commands read and edit: the unit (pulled first,
// every edit sent) or a mode file edited with no unit attached.
class EditTarget {
  public:
    virtual ~EditTarget() = default;
    // Reads the unit or the file into the store.
    virtual bool load(std::string& error) = 0;
    virtual ParamStore& store() = 0;
    // Edits go through the one editor either way; on a file they only
    // change the store.
    virtual Editor& editor() = 0;
    // Whether a unit is attached (its volume limits apply).
    virtual bool unitAttached() const = 0;
    // After the edits: waits until the unit has answered them, or saves
    // the file (atomically) when the store changed.
    virtual bool finish(std::string& error) = 0;
    // "sent" or "saved", for messages.
    virtual const char* outcome() const = 0;
};

class UnitTarget final : public EditTarget {
  public:
    explicit UnitTarget(Connection& unit) : unit_(unit) {}
    bool load(std::string& error) override;
    ParamStore& store() override;
    Editor& editor() override;
    bool unitAttached() const override { return true; }
    bool finish(std::string& error) override;
    const char* outcome() const override { return "sent"; }

  private:
    Connection& unit_;
};

class ModeFileTarget final : public EditTarget {
  public:
    explicit ModeFileTarget(std::filesystem::path path) : path_(std::move(path)) {}
    bool load(std::string& error) override;
    ParamStore& store() override { return ctx_.store; }
    Editor& editor() override { return ctx_.editor; }
    bool unitAttached() const override { return false; }
    bool finish(std::string& error) override;
    const char* outcome() const override { return "saved"; }

  private:
    std::filesystem::path path_;
    // Never opened: every report is refused at once and the store keeps
    // the edits.
    DeviceContext ctx_;
    ModeImage loaded_;
};

}  // namespace v36::cli
