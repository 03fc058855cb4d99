#include "mqtt/mqtt_client.h"

#include <mosquitto.h>

#include <algorithm>
#include <cctype>
#include <charconv>

namespace v36::mqtt {

namespace {

struct Library {
    Library() { mosquitto_lib_init(); }
    ~Library() { mosquitto_lib_cleanup(); }
};

void useLibrary() {
    static Library library;
}

}  // namespace

std::optional<BrokerAddress> parseBrokerUrl(std::string_view url, std::string& why) {
    BrokerAddress a;
    std::string_view rest;
    if (url.substr(0, 7) == "mqtt://") {
        rest = url.substr(7);
    } else if (url.substr(0, 8) == "mqtts://") {
        a.tls = true;
        a.port = 8883;
        rest = url.substr(8);
    } else {
        why = "the broker's address starts with mqtt:// or mqtts://, not \"" + std::string(url) +
              "\"";
        return std::nullopt;
    }
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        a.user = std::string(rest.substr(0, at));
        rest = rest.substr(at + 1);
        if (a.user.find(':') != std::string::npos) {
            why =
                "the password of the broker never goes in its address: use V36_MQTT_PASSWORD "
                "or --mqtt-password-file";
            return std::nullopt;
        }
    }
    std::string_view host = rest;
    if (!rest.empty() && rest.front() == '[') {  // [IPv6]:port
        const auto close = rest.find(']');
        if (close == std::string_view::npos) {
            why = "no closing ] in \"" + std::string(url) + "\"";
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            why = "unexpected text after ] in \"" + std::string(url) + "\"";
            return std::nullopt;
        }
    } else if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        rest = rest.substr(colon);
    } else {
        rest = {};
    }
    if (!rest.empty()) {  // ":port"
        const std::string_view digits = rest.substr(1);
        int port = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
        if (ec != std::errc{} || end != digits.data() + digits.size() || port < 1 || port > 65535) {
            why = "the broker's port is a number 1..65535, not \"" + std::string(digits) + "\"";
            return std::nullopt;
        }
        a.port = port;
    }
    if (host.empty() || host.find('/') != std::string_view::npos) {
        why = "no broker host in \"" + std::string(url) + "\"";
        return std::nullopt;
    }
    a.host = std::string(host);
    return a;
}

bool isRoomName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
    });
}

Client::Client(std::string id, BrokerAddress broker, std::optional<Will> will)
    : id_(std::move(id)), broker_(std::move(broker)), will_(std::move(will)) {
    useLibrary();
}

Client::~Client() {
    stop();
    if (mosq_ != nullptr) mosquitto_destroy(mosq_);
}

bool Client::start(std::string& why) {
    if (started_) return true;
    mosq_ = mosquitto_new(id_.empty() ? nullptr : id_.c_str(), true, this);
    if (mosq_ == nullptr) {
        why = "cannot make an MQTT client";
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Small messages go out at once instead of waiting for the broker's
    // acknowledgement of the last one.
    mosquitto_int_option(mosq_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(mosq_, &Client::connectCallback);
    mosquitto_disconnect_callback_set(mosq_, &Client::disconnectCallback);
    mosquitto_message_callback_set(mosq_, &Client::messageCallback);
    mosquitto_subscribe_callback_set(mosq_, &Client::subscribeCallback);
    mosquitto_publish_callback_set(mosq_, &Client::publishCallback);
    mosquitto_reconnect_delay_set(mosq_, 1, 30, true);
    if (!broker_.user.empty() &&
        mosquitto_username_pw_set(mosq_, broker_.user.c_str(),
                                  broker_.password.empty() ? nullptr : broker_.password.c_str()) !=
            MOSQ_ERR_SUCCESS) {
        why = "the broker's user name cannot be used";
        return false;
    }
    if (broker_.tls) {
        const int rc = mosquitto_tls_set(
            mosq_, broker_.caFile.empty() ? nullptr : broker_.caFile.c_str(),
            broker_.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            why = std::string("TLS: ") + mosquitto_strerror(rc);
            return false;
        }
    }
    if (will_) {
        const int rc =
            mosquitto_will_set(mosq_, will_->topic.c_str(), static_cast<int>(will_->payload.size()),
                               will_->payload.data(), 1, will_->retain);
        if (rc != MOSQ_ERR_SUCCESS) {
            why = std::string("last will: ") + mosquitto_strerror(rc);
            return false;
        }
    }
    // An unreachable broker is not an error here: the network thread tries
    // again with its growing pause.
    mosquitto_connect_async(mosq_, broker_.host.c_str(), broker_.port, 20);
    if (const int rc = mosquitto_loop_start(mosq_); rc != MOSQ_ERR_SUCCESS) {
        why = std::string("MQTT: ") + mosquitto_strerror(rc);
        return false;
    }
    started_ = true;
    return true;
}

void Client::stop() {
    if (!started_) return;
    started_ = false;
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
}

bool Client::publish(const std::string& topic, std::string_view payload, bool retain) {
    if (mosq_ == nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++pendingPublishes_;
    }
    if (mosquitto_publish(mosq_, nullptr, topic.c_str(), static_cast<int>(payload.size()),
                          payload.data(), 1, retain) == MOSQ_ERR_SUCCESS)
        return true;
    std::lock_guard<std::mutex> lock(mutex_);
    --pendingPublishes_;
    return false;
}

bool Client::flush(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return pendingPublishes_ <= 0 || !connected_; });
}

void Client::publishCallback(mosquitto*, void* self, int) {
    auto* c = static_cast<Client*>(self);
    {
        std::lock_guard<std::mutex> lock(c->mutex_);
        --c->pendingPublishes_;
    }
    c->changed_.notify_all();
}

bool Client::subscribe(const std::string& pattern) {
    if (mosq_ == nullptr) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++pendingSubscriptions_;
    }
    if (mosquitto_subscribe(mosq_, nullptr, pattern.c_str(), 1) == MOSQ_ERR_SUCCESS) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    --pendingSubscriptions_;
    return false;
}

bool Client::connected() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_;
}

bool Client::waitConnected(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return connected_; });
}

bool Client::waitSubscribed(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [this] { return pendingSubscriptions_ <= 0; });
}

void Client::connectCallback(mosquitto*, void* self, int rc) {
    auto* c = static_cast<Client*>(self);
    if (rc != 0) return;
    {
        std::lock_guard<std::mutex> lock(c->mutex_);
        c->pendingSubscriptions_ = 0;
    }
    // The owner subscribes and publishes first: who waits for the
    // connection finds its subscriptions made.
    if (c->onConnect_) c->onConnect_();
    {
        std::lock_guard<std::mutex> lock(c->mutex_);
        c->connected_ = true;
    }
    c->changed_.notify_all();
}

void Client::disconnectCallback(mosquitto*, void* self, int) {
    auto* c = static_cast<Client*>(self);
    {
        std::lock_guard<std::mutex> lock(c->mutex_);
        c->connected_ = false;
        // What was not taken is sent again, counted afresh, after the next
        // connection.
        c->pendingPublishes_ = 0;
    }
    c->changed_.notify_all();
}

void Client::messageCallback(mosquitto*, void* self, const mosquitto_message* m) {
    auto* c = static_cast<Client*>(self);
    if (!c->onMessage_ || m == nullptr || m->topic == nullptr || m->payloadlen < 0) return;
    Message message;
    message.topic = m->topic;
    message.retained = m->retain;
    if (static_cast<std::size_t>(m->payloadlen) > kMaxPayload) {
        message.tooLarge = true;
        c->onMessage_(message);
        return;
    }
    message.payload.assign(static_cast<const char*>(m->payload),
                           static_cast<std::size_t>(m->payloadlen));
    c->onMessage_(message);
}

void Client::subscribeCallback(mosquitto*, void* self, int, int, const int*) {
    auto* c = static_cast<Client*>(self);
    {
        std::lock_guard<std::mutex> lock(c->mutex_);
        --c->pendingSubscriptions_;
    }
    c->changed_.notify_all();
}

}  // namespace v36::mqtt
