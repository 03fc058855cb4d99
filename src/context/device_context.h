#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

namespace v36 {

// Everything one connection to one unit needs: the store, the link, the
// senders, the dispatcher, the writer thread with the editor that every
// user edit goes through, and the backend the link opens (the USB unit or
// the virtual unit). The GUI and the command-line tool each make one;
// tests make as many as they like.
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
    // The unit on USB (the default).
    void useHardware() {
        closeLink();
        virtualUnit_ = nullptr;
        backend_.reset();
    }
    // A virtual unit in this process; returned for configuring and faults.
    VirtualUnit& useVirtualUnit(VirtualUnitConfig config = {}) {
        closeLink();
        auto unit = std::make_unique<VirtualUnit>(std::move(config));
        virtualUnit_ = unit.get();
        backend_ = std::move(unit);
        return *virtualUnit_;
    }
    // The virtual unit in use, or null.
    VirtualUnit* virtualUnit() { return virtualUnit_; }
    LinkBackend& backend() {
        if (!backend_) backend_ = std::make_unique<HidBackend>();
        return *backend_;
    }

    // --- Link ------------------------------------------------------------------------
    // Opens the link on the chosen backend (value 1), or says why not.
    OpenResult openLink() { return link.openLink(backend()); }
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
    std::unique_ptr<LinkBackend> backend_;
    VirtualUnit* virtualUnit_ = nullptr;
};

}  // namespace v36
