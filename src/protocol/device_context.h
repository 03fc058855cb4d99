#pragma once

#include "link/debug_trace.h"
#include "link/link.h"
#include "protocol/param_store.h"
#include "protocol/senders.h"

namespace v36 {

// Everything one connection to one unit needs: the store, the link and
// the senders. The GUI and the command-line tool each make one; tests make
// as many as they like.
class DeviceContext {
  public:
    DeviceContext() { store.resetToDefaults(); }
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;

    DebugTrace trace;
    ParamStore store;
    Link link{trace};
    Senders senders{store, link};
};

}  // namespace v36
