#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

struct mosquitto;
struct mosquitto_message;

namespace v36::mqtt {

// Where a broker is: "mqtt://[user@]host[:port]" (1883) or "mqtts://..."
// (8883). The password never comes from the address.
struct BrokerAddress {
    bool tls = false;
    std::string host;
    int port = 1883;
    std::string user;
    std::string password;
    std::string caFile;  // with tls: the authority that signed the broker
};
std::optional<BrokerAddress> parseBrokerUrl(std::string_view url, std::string& why);

// A room's name: letters, digits, '-' and '_', at most 64.
bool isRoomName(std::string_view name);

// Payloads larger than this are refused unread.
constexpr std::size_t kMaxPayload = 64 * 1024;

// One connection to a broker on its own network thread. It connects in the
// background and, when the broker goes away, connects again with a growing
// pause (1 s up to 30 s); each connection calls onConnect, where the owner
// publishes its retained state and subscribes again.
class Client {
  public:
    struct Will {
        std::string topic;
        std::string payload;
        bool retain = true;
    };
    struct Message {
        std::string topic;
        std::string payload;
        bool retained = false;  // sent because of a new subscription
        bool tooLarge = false;  // over kMaxPayload: left unread
    };
    using OnConnect = std::function<void()>;
    using OnMessage = std::function<void(const Message&)>;

    Client(std::string id, BrokerAddress broker, std::optional<Will> will = std::nullopt);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Set before start; called on the network thread.
    void onConnect(OnConnect f) { onConnect_ = std::move(f); }
    void onMessage(OnMessage f) { onMessage_ = std::move(f); }

    // Starts connecting; false with the reason when the address or the
    // options cannot be used (an unreachable broker is tried again).
    bool start(std::string& why);
    // Disconnects cleanly (no last will) and ends the network thread.
    void stop();

    bool publish(const std::string& topic, std::string_view payload, bool retain);
    bool subscribe(const std::string& pattern);
    bool connected() const;
    // Waits until connected; false when `wait` passed first.
    bool waitConnected(std::chrono::milliseconds wait);
    // Waits until every subscription made so far is acknowledged.
    bool waitSubscribed(std::chrono::milliseconds wait);
    // Waits until the broker took every message published so far.
    bool flush(std::chrono::milliseconds wait);

  private:
    static void connectCallback(mosquitto*, void* self, int rc);
    static void disconnectCallback(mosquitto*, void* self, int rc);
    static void messageCallback(mosquitto*, void* self, const mosquitto_message* m);
    static void subscribeCallback(mosquitto*, void* self, int mid, int count, const int* qos);
    static void publishCallback(mosquitto*, void* self, int mid);

    std::string id_;
    BrokerAddress broker_;
    std::optional<Will> will_;
    mosquitto* mosq_ = nullptr;
    bool started_ = false;
    OnConnect onConnect_;
    OnMessage onMessage_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool connected_ = false;
    int pendingSubscriptions_ = 0;
    int pendingPublishes_ = 0;
};

}  // namespace v36::mqtt
