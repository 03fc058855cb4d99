#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/eq_model.h"
#include "protocol/controls.h"
#include "protocol/edit.h"
#include "protocol/param_store.h"

namespace v36::phone {

// The room remote: phones on the local network edit the unit through JSON
// messages over one WebSocket. This is the part without a network: pairing
// and lockout, reading and checking each message, applying it through the
// host's editor and deciding who hears what. The server (Qt) carries the
// bytes; the desktop and `v36ctl serve` each give it an editor.

// Limits and close codes.
constexpr std::size_t kMaxMessageBytes = 64 * 1024;
constexpr int kWrongCodesBeforeLockout = 5;
constexpr std::chrono::seconds kLockout{60};
// A connection that has not paired by then is closed.
constexpr std::chrono::seconds kPairingTime{60};
constexpr std::size_t kMaxConnections = 16;
constexpr int kCloseDisconnected = 4000;  // the desktop disconnected the phones
constexpr int kCloseWrongCode = 4001;     // a wrong code, or no pairing
constexpr int kCloseLockedOut = 4003;     // too many wrong codes from this address
constexpr int kCloseTooMany = 4004;       // every place taken
constexpr int kCloseStopped = 1001;       // the server stops

// The port the server listens on unless told otherwise.
constexpr std::uint16_t kDefaultPort = 8036;

// The width of the curve axis the phones are sent: 512 points spread
// evenly in log frequency from 18 Hz to 23 kHz.
constexpr int kPhoneCurveWidth = kCurvePoints;

// A new six-digit pairing code ("042917").
std::string newPairCode();
// Whether `code` is six digits.
bool isPairCode(std::string_view code);

// What the hub asks of its host. The hub builds each edit with the one
// edit model; the host applies it (the window as an undo step).
class PhoneEditor {
  public:
    virtual ~PhoneEditor() = default;
    // Applies a phone's edit. `end`: the last message of the phone's
    // gesture (a lifted finger).
    virtual void apply(Edit edit, bool end) = 0;
    // The phone's gesture ended without a change.
    virtual void endGesture() {}
    // Recalls memory mode `mode` (0..3); the reason when it cannot.
    virtual std::string recallMode(int mode) = 0;
    // Whether a unit is attached (its volume limits apply).
    virtual bool unitAttached() const = 0;
};

// The editor of a server without a desktop window (`v36ctl serve`, tests):
// each edit goes straight through the context's editor; a recall is handed
// to the host.
class DirectEditor : public PhoneEditor {
  public:
    using Recall = std::function<std::string(int mode)>;
    using Attached = std::function<bool()>;

    DirectEditor(Editor& editor, Attached attached, Recall recall);
    void apply(Edit edit, bool end) override;
    std::string recallMode(int mode) override;
    bool unitAttached() const override { return attached_ ? attached_() : false; }

  private:
    Editor& editor_;
    Attached attached_;
    Recall recall_;
};

// What the host does after a call: messages to send and connections to close.
struct Outbox {
    struct Message {
        int connection = 0;
        std::string text;
    };
    struct Close {
        int connection = 0;
        int code = 0;
        std::string reason;
    };
    std::vector<Message> messages;
    std::vector<Close> closes;
};

class PhoneHub {
  public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    PhoneHub(ParamStore& store, PhoneEditor& editor, std::string pairCode, Clock clock = {});

    const std::string& pairCode() const { return code_; }

    // A connection from `address` opened; its id (closed at once, in the
    // outbox, when every place is taken). A locked-out address is refused
    // when it tries to pair.
    int open(const std::string& address, Outbox& out);
    // The connection went (closed by either side). A drag it left unfinished
    // ends with the last value it sent.
    void closed(int connection);
    // A text message arrived.
    void receive(int connection, std::string_view text, Outbox& out);
    // A binary message arrived: refused.
    void receiveBinary(int connection, std::size_t size, Outbox& out);
    // Looks at the store for changes made elsewhere (the desktop window, the
    // unit, a pull) since the last look and tells the phones; closes
    // connections that did not pair in time.
    void poll(Outbox& out);
    // Closes every connection; the pairing code becomes `newCode`, so that a
    // disconnected phone must pair again with the new code.
    void disconnectAll(std::string newCode, Outbox& out);

    // Whether EQ messages carry the response curve and the state message
    // its frequencies, which the phones draw (on by default); a host that
    // draws none leaves them out, and each message costs a small part of
    // the time.
    void setCurves(bool on) { curves_ = on; }

    // Paired connections.
    int pairedCount() const;
    int connectionCount() const { return static_cast<int>(connections_.size()); }

    // The messages the hub sends, for tests and the page.
    std::string wordMessage(int word) const;
    std::string eqMessage(int eq) const;
    std::string stateMessage() const;
    std::string modeMessage() const;

  private:
    struct Connection {
        std::string address;
        bool paired = false;
        bool closing = false;  // a close was asked for
        int watchedEq = -1;
        std::chrono::steady_clock::time_point opened;
        bool dragging = false;  // an edit came without the gesture's end
    };
    struct Lockout {
        int wrong = 0;
        std::chrono::steady_clock::time_point until{};
    };

    std::chrono::steady_clock::time_point now() const;
    std::uint32_t known(int word) const { return words_[static_cast<std::size_t>(word)]; }
    bool lockedOut(const std::string& address);
    void handlePair(int id, Connection& c, std::string_view code, Outbox& out);
    void close(int id, Connection& c, int code, std::string reason, Outbox& out);
    void broadcast(const std::string& text, Outbox& out) const;
    void broadcastEq(int eq, Outbox& out) const;
    // Takes the store as the phones now know it.
    void snapshot();
    std::vector<int> changedEqs(const std::array<std::uint8_t, kRegisterBlockSize>& regs) const;

    ParamStore& store_;
    PhoneEditor& editor_;
    std::string code_;
    bool curves_ = true;
    Clock clock_;
    int nextId_ = 1;
    std::map<int, Connection> connections_;
    std::map<std::string, Lockout> lockouts_;
    // What the phones were last told.
    std::array<std::uint32_t, ParamBlock::kWords> words_{};
    std::array<std::uint8_t, kRegisterBlockSize> registers_{};
    int mode_ = 0;
};

}  // namespace v36::phone
