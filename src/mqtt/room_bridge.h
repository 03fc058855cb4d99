#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mqtt/mqtt_client.h"
#include "protocol/edit.h"

namespace v36 {
class DeviceContext;
}

namespace v36::mqtt {

struct RoomOptions {
    std::string room;    // the topics' level under v36/
    std::string serial;  // the unit's serial number, for `info`
    std::string discoveryPrefix = "homeassistant";
    bool discovery = true;
    std::string clientId;  // default: v36-<room>
};

// What the host does for the bridge. Every hook may be left empty.
struct RoomHooks {
    // Runs a job on the thread that owns the edits (a window's event loop);
    // empty: on the broker's network thread.
    std::function<void(std::function<void()>)> run;
    // Applies an edit (a window makes it an undo step); empty: the context's
    // editor.
    std::function<void(Edit)> apply;
    // Recalls memory mode 0..3; the reason when it cannot.
    std::function<std::string(int mode)> recall;
};

// One unit on the broker as a room: everything it holds under v36/<room>/,
// its edits from the broker through the one edit model, and its discovery
// configs for home-automation systems.
//
//   status          online / offline (retained; the broker's last will)
//   unit            present / absent (retained)
//   info            {"model","protocol","serial","version"} (retained)
//   seen            when the bridge last told it was alive, UTC (retained)
//   state/<name>    every word, in the control table's units (retained)
//   state/mode      the memory mode 1..4 (retained)
//   eq/<n>          {"bands":[{"type","freq","gain","q"}, ...]} (retained)
//   set/<name>, set/mode, set/eq/<n>/band/<b>   edits
//   error           {"topic","error"} for an edit refused
class RoomBridge {
  public:
    RoomBridge(DeviceContext& ctx, const BrokerAddress& broker, RoomOptions options,
               RoomHooks hooks = {});
    ~RoomBridge();
    RoomBridge(const RoomBridge&) = delete;
    RoomBridge& operator=(const RoomBridge&) = delete;

    bool start(std::string& why);
    // Says offline and leaves the broker; with `forget` the room's retained
    // messages and discovery configs are cleared first.
    void stop(bool forget = false);

    const std::string& room() const { return options_.room; }
    std::string topic(std::string_view sub) const;
    bool connected() const { return client_.connected(); }

    // The unit could not be read whole (`why`): nothing of the store is
    // told as the unit's state, and edits are refused, until `release`
    // (after a whole read).
    void hold(std::string why);
    void release();

    // The discovery configs of the room: topic and payload.
    std::vector<std::pair<std::string, std::string>> discoveryConfigs() const;

  private:
    void connected_();
    void receive(const Client::Message& m);
    void handleSet(const std::string& what, const std::string& payload);
    void refuse(const std::string& topic, const std::string& why);
    // Why the unit cannot take an edit now; empty when it can.
    std::string unitTrouble();
    void publishUnit();
    bool unitPresent() const;
    void publishAll();
    void publishChanges(bool all);
    void publishWord(int word, bool force);
    void publishMode(bool force);
    void publishInfo();
    void publishSeen();
    void watch();
    void nudge();
    void run(std::function<void()> job);

    DeviceContext& ctx_;
    RoomOptions options_;
    RoomHooks hooks_;
    std::string base_;
    Client client_;

    std::mutex publishedMutex_;
    std::array<std::uint32_t, 147> words_{};
    std::array<bool, 147> wordKnown_{};
    int mode_ = -1;
    std::array<std::string, 12> eqs_;
    std::uint64_t recordsSeen_ = ~std::uint64_t{0};
    int unitPresent_ = -1;
    int missedSeen_ = 0;
    std::string infoText_;
    std::string held_;  // why the state is held back; empty: it is told

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
    std::atomic<bool> running_{false};
    int subscription_ = -1;
    std::thread watcher_;
};

}  // namespace v36::mqtt
