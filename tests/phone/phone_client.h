#pragma once

// A phone for the tests: a real WebSocket client on the loopback address
// that keeps every message it receives and the code it was closed with.
#include <QCoreApplication>
#include <QUrl>
#include <QWebSocket>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "phone/phone_json.h"
#include "shell_fixture.h"

namespace v36::test {

class PhoneClient {
  public:
    PhoneClient() { reset(); }

    // Opens a new socket (after a close, a new connection).
    bool open(const QUrl& url) {
        reset();
        socket_->open(url);
        return waitUntil(
                   [this] {
                       return socket_->state() == QAbstractSocket::ConnectedState || closed_;
                   },
                   5000) &&
               !closed_;
    }
    bool connected() const {
        return !closed_ && socket_->state() == QAbstractSocket::ConnectedState;
    }
    void send(const std::string& text) { socket_->sendTextMessage(QString::fromStdString(text)); }
    void sendBinary(const QByteArray& bytes) { socket_->sendBinaryMessage(bytes); }

    // Waits for a message holding `part`; the messages before it are passed
    // over. nullopt when none came in time.
    std::optional<std::string> waitMessage(const std::string& part, int timeoutMs = 5000) {
        std::optional<std::string> found;
        waitUntil(
            [&] {
                while (next_ < messages_.size()) {
                    const std::string& m = messages_[next_++];
                    if (m.find(part) != std::string::npos) {
                        found = m;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }
    std::optional<phone::Json> waitJson(const std::string& part, int timeoutMs = 5000) {
        const auto m = waitMessage(part, timeoutMs);
        if (!m) return std::nullopt;
        return phone::Json::parse(*m);
    }
    // The close code once the server closed the socket; -1 when it did not.
    int waitClosed(int timeoutMs = 5000) {
        waitUntil([this] { return closed_; }, timeoutMs);
        return closed_ ? closeCode_ : -1;
    }
    const std::vector<std::string>& messages() const { return messages_; }
    // Passes over what came so far.
    void skipAll() {
        QCoreApplication::processEvents();
        next_ = messages_.size();
    }
    QWebSocket& socket() { return *socket_; }

  private:
    void reset() {
        socket_ = std::make_unique<QWebSocket>();
        messages_.clear();
        next_ = 0;
        closed_ = false;
        closeCode_ = -1;
        opened_ = false;
        QObject::connect(socket_.get(), &QWebSocket::connected, [this] { opened_ = true; });
        QObject::connect(socket_.get(), &QWebSocket::textMessageReceived,
                         [this](const QString& m) { messages_.push_back(m.toStdString()); });
        QObject::connect(socket_.get(), &QWebSocket::disconnected, [this] {
            closed_ = true;
            closeCode_ = socket_->closeCode();
        });
    }

    std::unique_ptr<QWebSocket> socket_;
    std::vector<std::string> messages_;
    std::size_t next_ = 0;
    bool opened_ = false;
    bool closed_ = false;
    int closeCode_ = -1;
};

}  // namespace v36::test
