#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mqtt/mqtt_client.h"

namespace v36::test {

// A free TCP port on the loopback address.
inline int freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

inline bool portOpen(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

// A program run beside the test, stopped (SIGTERM, else SIGKILL) at the end.
class Process {
  public:
    explicit Process(std::vector<std::string> args) {
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Process() { stop(); }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Ends it with `signal`; returns the exit status as waitpid gives it.
    int stop(int signal = SIGTERM) {
        if (pid_ <= 0) return status_;
        kill(pid_, signal);
        for (int i = 0; i < 300; ++i) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                pid_ = -1;
                return status_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        pid_ = -1;
        return status_;
    }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
};

// Debian's mosquitto on a free loopback port with a config of its own.
class Broker {
  public:
    Broker() : port_(freePort()) {
        dir_ = std::filesystem::temp_directory_path() /
               ("v36-broker-" + std::to_string(getpid()) + "-" + std::to_string(port_));
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "mosquitto.conf")
            << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\npersistence false\n"
            << "set_tcp_nodelay true\n";
        start();
    }
    ~Broker() {
        stop();
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    void start() {
        process_ = std::make_unique<Process>(
            std::vector<std::string>{V36_MOSQUITTO, "-c", (dir_ / "mosquitto.conf").string()});
        for (int i = 0; i < 200 && !portOpen(port_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    void stop() { process_.reset(); }

    int port() const { return port_; }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_); }
    mqtt::BrokerAddress address() const {
        mqtt::BrokerAddress a;
        a.host = "127.0.0.1";
        a.port = port_;
        return a;
    }

  private:
    int port_;
    std::filesystem::path dir_;
    std::unique_ptr<Process> process_;
};

// A client that keeps what it hears: the newest payload of every topic
// and every message in order.
class Listener {
  public:
    explicit Listener(const Broker& broker, std::vector<std::string> patterns)
        : client_("v36-test-" + std::to_string(counter()++), broker.address()),
          patterns_(std::move(patterns)) {
        client_.onConnect([this] {
            for (const auto& p : patterns_)
                client_.subscribe(p);
        });
        client_.onMessage([this](const mqtt::Client::Message& m) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                latest_[m.topic] = m.payload;
                all_.push_back(m);
            }
            changed_.notify_all();
        });
        std::string why;
        client_.start(why);
        client_.waitConnected(std::chrono::seconds(5));
        client_.waitSubscribed(std::chrono::seconds(5));
    }

    // Waits until `topic` holds `payload` (any payload when empty).
    bool waitFor(const std::string& topic, const std::string& payload = {},
                 std::chrono::milliseconds wait = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, wait, [&] {
            const auto it = latest_.find(topic);
            return it != latest_.end() && (payload.empty() || it->second == payload);
        });
    }
    std::string latest(const std::string& topic) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = latest_.find(topic);
        return it == latest_.end() ? std::string() : it->second;
    }
    std::vector<mqtt::Client::Message> all() {
        std::lock_guard<std::mutex> lock(mutex_);
        return all_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        all_.clear();
        latest_.clear();
    }
    mqtt::Client& client() { return client_; }

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    mqtt::Client client_;
    std::vector<std::string> patterns_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::string> latest_;
    std::vector<mqtt::Client::Message> all_;
};

}  // namespace v36::test
