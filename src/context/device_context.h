#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/backend.h"
#include "link/debug_trace.h"
#include "link/hid_backend.h"
#include "link/link.h"
#include "protocol/dispatcher.h"
#include "protocol/edit.h"
#include "protocol/param_store.h"
#include "protocol/senders.h"
#include "protocol/write_queue.h"
#include "remote/home_automation.h"
#include "sim/virtual_unit.h"
#include "sim/virtual_units.h"

namespace v36 {

// Everything one connection to one unit needs: the store, the link, the
// senders, the dispatcher, the writer thread with the editor that every
// user edit goes through, and the backend the link opens (the USB units or
// virtual units, its own or shared with other contexts). The GUI makes one;
// the command-line tool one for each unit it talks to; tests make as many
// as they like.
class DeviceContext {
  public:
    DeviceContext() {
        store.resetToDefaults();
        link.setReportHandler([this](const Report& r) { dispatcher.dispatchReport(r); });
        // The dispatcher acknowledges module frames itself; the module's
        // mirror only interprets them.
        dispatcher.setHomeFrameHook([this](const Report& r) {
            homeAutomation.handleFrame(r, {}, [this](const HomeAutomationEvent& e) {
                dispatcher.postHomeEvent(e.functionCode, e.param);
            });
        });
        dispatcher.setHomeMemoryHook([this](const Report& r) { homeAutomation.handleMemory(r); });
    }
    ~DeviceContext() {
        // The read thread uses the dispatcher: it must be gone first.
        link.closeLink();
        link.joinReadThread();
    }
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    DebugTrace trace;
    ParamStore store;
    Link link{trace};
    Senders senders{store, link};
    Dispatcher dispatcher{store, link};
    HomeAutomation homeAutomation{&trace};
    // Runs the edits' sends in order; the GUI thread never waits on the link.
    WriteQueue writer;
    Editor editor{store, link, senders, writer};

    // Whether the unit's own limits apply to an edit: a unit is attached.
    bool unitAttached() const { return link.linkOpen.load(); }
    // The volume limit of `word` that applies now (see volumeLimit).
    std::optional<int> volumeLimitOf(int word) const {
        return volumeLimit(store, word, unitAttached());
    }

    // The start-up state: the store's defaults and an empty module mirror.
    void resetToDefaults() {
        store.resetToDefaults();
        homeAutomation.reset();
    }

    // --- The backend the next openLink uses -------------------------------------
    // The units on USB (the default).
    void useHardware() {
        closeLink();
        virtualUnits_ = nullptr;
        ownedBackend_.reset();
        backend_ = nullptr;
    }
    // Units that several contexts share, one unit open in each (the units
    // of one computer). Not owned: `shared` must outlive this context.
    void useBackend(LinkBackend& shared) {
        closeLink();
        virtualUnits_ = nullptr;
        ownedBackend_.reset();
        backend_ = &shared;
    }
    // Virtual units in this process, one for each configuration; returned
    // for configuring and faults.
    VirtualUnits& useVirtualUnits(std::vector<VirtualUnitConfig> configs) {
        closeLink();
        auto units = std::make_unique<VirtualUnits>(std::move(configs));
        virtualUnits_ = units.get();
        backend_ = units.get();
        ownedBackend_ = std::move(units);
        return *virtualUnits_;
    }
    // One virtual unit in this process.
    VirtualUnit& useVirtualUnit(VirtualUnitConfig config = {}) {
        std::vector<VirtualUnitConfig> configs;
        configs.push_back(std::move(config));
        return useVirtualUnits(std::move(configs)).unit(0);
    }
    // The virtual units this context made, or null.
    VirtualUnits* virtualUnits() { return virtualUnits_; }
    // The virtual unit the link has open, else the first of this context's
    // virtual units; null on other backends.
    VirtualUnit* virtualUnit() {
        if (!virtualUnits_ || virtualUnits_->size() == 0) return nullptr;
        for (std::size_t i = 0; i < virtualUnits_->size(); ++i) {
            VirtualUnit& unit = virtualUnits_->unit(i);
            if (link.isOpenDevice(unit.path())) return &unit;
        }
        return &virtualUnits_->unit(0);
    }
    LinkBackend& backend() {
        if (!backend_) {
            ownedBackend_ = std::make_unique<HidBackend>();
            backend_ = ownedBackend_.get();
        }
        return *backend_;
    }

    // --- Link ------------------------------------------------------------------------
    // Opens the link on the chosen backend (value 1), or says why not: the
    // unit at `path` (as listed), or the first that opens when it is empty.
    OpenResult openLink(std::string_view path = {}) { return link.openLink(backend(), path); }
    // Closes the link and clears the live status (once the read thread can
    // no longer refill it). Always 1.
    int closeLink() {
        const int result = link.closeLink();
        store.liveStatus.fill(0);
        return result;
    }
    // A removal: closes the link when `path` is the open unit's. Removals
    // of other devices change nothing. True when the link was closed.
    bool handleRemoval(std::string_view path) {
        if (!link.isOpenDevice(path)) return false;
        closeLink();
        return true;
    }
    // Watches the chosen backend for arrival and removal.
    std::unique_ptr<HotplugWatcher> watchHotplug(HotplugHandler handler, HotplugDelivery delivery,
                                                 std::string* error = nullptr) {
        return backend().watchHotplug(std::move(handler), delivery, error);
    }

  private:
    std::unique_ptr<LinkBackend> ownedBackend_;
    LinkBackend* backend_ = nullptr;  // ownedBackend_, or a shared one
    VirtualUnits* virtualUnits_ = nullptr;
};

}  // namespace v36
