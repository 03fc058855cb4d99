#include "phone/phone_hub.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

#include "phone/phone_json.h"
#include "phone/phone_messages.h"
#include "phone/remote_edit.h"
#include "protocol/eq_access.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36::phone {

namespace {

// A value as the phones are sent it: whole numbers as integers, the rest
// as singles.
Json valueJson(const ParamStore& store, int word) {
    if (wordInfo(word).isFloat()) return store.params.getFloat(word);
    return store.params.getInt(word);
}

float rounded(float v, float step) {
    return static_cast<float>(std::round(double{v} / double{step}) * double{step});
}

std::string errorMessage(const std::string& text) {
    return jsonText(Json{{"error", text}});
}

}  // namespace

std::string newPairCode() {
    std::random_device device;
    std::uniform_int_distribution<int> digits(0, 999999);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%06d", digits(device));
    return buf;
}

bool isPairCode(std::string_view code) {
    return code.size() == 6 &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

DirectEditor::DirectEditor(Editor& editor, Attached attached, Recall recall)
    : editor_(editor), attached_(std::move(attached)), recall_(std::move(recall)) {}

void DirectEditor::apply(Edit edit, bool) {
    editor_.apply(std::move(edit));
}

std::string DirectEditor::recallMode(int mode) {
    return recall_ ? recall_(mode) : std::string("memory modes cannot be recalled here");
}

PhoneHub::PhoneHub(ParamStore& store, PhoneEditor& editor, std::string pairCode, Clock clock)
    : store_(store), editor_(editor), code_(std::move(pairCode)), clock_(std::move(clock)) {
    snapshot();
}

std::chrono::steady_clock::time_point PhoneHub::now() const {
    return clock_ ? clock_() : std::chrono::steady_clock::now();
}

bool PhoneHub::lockedOut(const std::string& address) {
    const auto it = lockouts_.find(address);
    return it != lockouts_.end() && it->second.until > now();
}

int PhoneHub::open(const std::string& address, Outbox& out) {
    const int id = nextId_++;
    if (connections_.size() >= kMaxConnections) {
        out.closes.push_back({id, kCloseTooMany, "too many phones connected"});
        return id;
    }
    connections_[id] = Connection{address, false, false, -1, now(), false};
    return id;
}

void PhoneHub::closed(int connection) {
    const auto it = connections_.find(connection);
    if (it == connections_.end()) return;
    const bool dragging = it->second.dragging;
    connections_.erase(it);
    if (dragging) editor_.endGesture();
}

int PhoneHub::pairedCount() const {
    return static_cast<int>(std::count_if(connections_.begin(), connections_.end(),
                                          [](const auto& c) { return c.second.paired; }));
}

void PhoneHub::close(int id, Connection& c, int code, std::string reason, Outbox& out) {
    if (c.closing) return;
    c.closing = true;
    out.closes.push_back({id, code, std::move(reason)});
}

void PhoneHub::handlePair(int id, Connection& c, std::string_view code, Outbox& out) {
    if (lockedOut(c.address)) {
        close(id, c, kCloseLockedOut, "too many wrong codes: wait a minute", out);
        return;
    }
    Lockout& l = lockouts_[c.address];
    if (code != code_) {
        if (++l.wrong >= kWrongCodesBeforeLockout) {
            l.wrong = 0;
            l.until = now() + kLockout;
        }
        close(id, c, kCloseWrongCode, "wrong pairing code", out);
        return;
    }
    lockouts_.erase(c.address);
    c.paired = true;
    out.messages.push_back({id, jsonText(Json{{"paired", true}})});
    out.messages.push_back({id, stateMessage()});
}

void PhoneHub::receiveBinary(int connection, std::size_t, Outbox& out) {
    const auto it = connections_.find(connection);
    if (it == connections_.end() || it->second.closing) return;
    out.messages.push_back({connection, errorMessage("binary messages are not understood")});
    if (!it->second.paired) close(connection, it->second, kCloseWrongCode, "not paired", out);
}

void PhoneHub::receive(int connection, std::string_view text, Outbox& out) {
    const auto it = connections_.find(connection);
    if (it == connections_.end() || it->second.closing) return;
    Connection& c = it->second;
    auto refuse = [&](const std::string& why) {
        out.messages.push_back({connection, errorMessage(why)});
        // Only a paired phone may go on after a refusal.
        if (!c.paired) close(connection, c, kCloseWrongCode, "not paired", out);
    };
    if (text.size() > kMaxMessageBytes) {
        refuse("message too long: at most " + std::to_string(kMaxMessageBytes) + " bytes");
        return;
    }
    const ParsedMessage parsed = parseMessage(text);
    if (!parsed.request) {
        refuse(parsed.error);
        return;
    }
    const Request& request = *parsed.request;
    if (const auto* pair = std::get_if<PairRequest>(&request)) {
        if (c.paired) {
            out.messages.push_back({connection, jsonText(Json{{"paired", true}})});
            return;
        }
        handlePair(connection, c, pair->code, out);
        return;
    }
    if (!c.paired) {
        refuse("pair first: send {\"pair\": CODE}");
        return;
    }

    if (const auto* get = std::get_if<GetRequest>(&request)) {
        const auto word = findWord(get->name);
        if (!word) {
            refuse("no parameter named \"" + get->name + "\"");
            return;
        }
        out.messages.push_back({connection, wordMessage(*word)});
        return;
    }

    if (const auto* set = std::get_if<SetRequest>(&request)) {
        const auto word = findWord(set->name);
        if (!word) {
            refuse("no parameter named \"" + set->name + "\"");
            return;
        }
        std::string why;
        auto edit = remoteWordEdit(store_, *word, set->value, editor_.unitAttached(), why);
        if (!edit) {
            refuse(why);
            return;
        }
        const bool changes = editChanges(store_, *edit);
        if (changes) {
            editor_.apply(std::move(*edit), set->end);
            c.dragging = !set->end;
        } else if (set->end) {
            editor_.endGesture();
            c.dragging = false;
        }
        // Every phone hears every word that changed; the sender hears its
        // word even when nothing changed.
        const bool told = changes && store_.params.getRaw(*word) != known(*word);
        poll(out);
        if (!told) out.messages.push_back({connection, wordMessage(*word)});
        return;
    }

    if (const auto* eq = std::get_if<EqRequest>(&request)) {
        if (!isEqNumber(eq->eq)) {
            refuse("EQ numbers run from 0 to 11");
            return;
        }
        c.watchedEq = eq->eq;
        out.messages.push_back({connection, eqMessage(eq->eq)});
        return;
    }

    if (const auto* band = std::get_if<BandRequest>(&request)) {
        const int eq = band->eq;
        std::string why;
        auto edit = remoteBandEdit(store_, *band, why);
        if (!edit && !why.empty()) {
            refuse(why);
            return;
        }
        if (edit) {
            editor_.apply(std::move(*edit), band->end);
            c.dragging = !band->end;
        } else if (band->end) {
            editor_.endGesture();
            c.dragging = false;
        }
        // The sender sees the band as it now stands even when nothing changed.
        const auto changedNow = changedEqs(store_.registers.snapshot());
        const bool told = std::find(changedNow.begin(), changedNow.end(), eq) != changedNow.end();
        c.watchedEq = eq;
        poll(out);
        if (!told) out.messages.push_back({connection, eqMessage(eq)});
        return;
    }

    if (const auto* recall = std::get_if<RecallRequest>(&request)) {
        if (recall->index < 1 || recall->index > 4) {
            refuse("memory modes run from 1 to 4");
            return;
        }
        const std::string why = editor_.recallMode(recall->index - 1);
        if (!why.empty()) {
            refuse(why);
            return;
        }
        poll(out);
        return;
    }
}

void PhoneHub::broadcast(const std::string& text, Outbox& out) const {
    for (const auto& [id, c] : connections_)
        if (c.paired) out.messages.push_back({id, text});
}

void PhoneHub::broadcastEq(int eq, Outbox& out) const {
    std::string text;
    for (const auto& [id, c] : connections_) {
        if (!c.paired || c.watchedEq != eq) continue;
        if (text.empty()) text = eqMessage(eq);
        out.messages.push_back({id, text});
    }
}

std::vector<int> PhoneHub::changedEqs(
    const std::array<std::uint8_t, kRegisterBlockSize>& regs) const {
    std::vector<int> eqs;
    for (int eq = 0; eq < kEqCount; ++eq) {
        const int bypass = eqBypassWord(eq);
        bool changed = bypass >= 0 && store_.params.getRaw(bypass) != known(bypass);
        const int bank = eqInfo(eq).bank;
        for (int b = 0; b < eqBandCount(eq) && !changed; ++b) {
            const auto offset = static_cast<std::size_t>(recordOffset(bank, sectionOf(eq, b)));
            changed =
                !std::equal(regs.begin() + static_cast<std::ptrdiff_t>(offset),
                            regs.begin() + static_cast<std::ptrdiff_t>(offset) + BandRecord::kSize,
                            registers_.begin() + static_cast<std::ptrdiff_t>(offset));
        }
        if (changed) eqs.push_back(eq);
    }
    return eqs;
}

void PhoneHub::poll(Outbox& out) {
    // Connections that did not pair in time.
    const auto t = now();
    for (auto& [id, c] : connections_) {
        if (!c.paired && t - c.opened > kPairingTime)
            close(id, c, kCloseWrongCode, "no pairing code in time", out);
    }
    for (auto it = lockouts_.begin(); it != lockouts_.end();) {
        it = it->second.until <= t && it->second.wrong == 0 ? lockouts_.erase(it) : std::next(it);
    }

    const auto regs = store_.registers.snapshot();
    for (int eq : changedEqs(regs))
        broadcastEq(eq, out);
    for (int word = 0; word < ParamBlock::kWords; ++word) {
        if (store_.params.getRaw(word) != known(word)) broadcast(wordMessage(word), out);
    }
    if (store_.currentMode.load() != mode_) broadcast(modeMessage(), out);
    snapshot();
}

void PhoneHub::snapshot() {
    for (int word = 0; word < ParamBlock::kWords; ++word)
        words_[static_cast<std::size_t>(word)] = store_.params.getRaw(word);
    registers_ = store_.registers.snapshot();
    mode_ = store_.currentMode.load();
}

void PhoneHub::disconnectAll(std::string newCode, Outbox& out) {
    for (auto& [id, c] : connections_)
        close(id, c, kCloseDisconnected, "disconnected at the desktop", out);
    code_ = std::move(newCode);
}

std::string PhoneHub::wordMessage(int word) const {
    return jsonText(Json{{"name", wordInfo(word).name}, {"value", valueJson(store_, word)}});
}

std::string PhoneHub::modeMessage() const {
    return jsonText(Json{{"mode", "current"}, {"index", store_.currentMode.load() + 1}});
}

std::string PhoneHub::eqMessage(int eq) const {
    EqGraphModel graph;
    loadRemoteGraph(store_, graph, eq, curves_);
    const auto bands = graph.bands();
    JsonWriter w;
    // About 180 bytes a band and at most 8 a curve point.
    w.reserve(static_cast<std::size_t>(graph.visibleBandCount()) * 200 +
              (curves_ ? kCurvePoints * 8 : 0) + 256);
    w.beginObject().key("eq").integer(eq);
    w.key("title").beginArray().text(eqTitle(eq, 0)).text(eqTitle(eq, 1)).end();
    w.key("bypass").boolean(isEqBypassed(store_, eq));
    w.key("bands").beginArray();
    for (int n = 0; n < graph.visibleBandCount(); ++n) {
        const EqBand& b = graph.band(n);
        const int type = shownType(eq, bands, n);
        w.beginObject()
            .key("band")
            .integer(n + 1)
            .key("type")
            .integer(type)
            .key("freq")
            .single(b.freq)
            .key("gain")
            .single(b.gain)
            .key("q")
            .single(b.q)
            .key("minFreq")
            .single(b.minFreq)
            .key("maxFreq")
            .single(b.maxFreq)
            .key("minGain")
            .single(b.minGain)
            .key("maxGain")
            .single(b.maxGain)
            .key("maxQ")
            .single(static_cast<float>(maxQ(type)))
            .key("hasGain")
            .boolean(hasGain(eq == kEqSub ? b.type : type))
            .key("menu")
            .boolean(hasTypeMenu(eq, n))
            .key("locked")
            .boolean(isLockedBand(eq, n))
            .end();
    }
    w.end();
    if (curves_) {
        w.key("curve").beginArray();
        for (float v : graph.totalCurve())
            w.single(rounded(v, 0.01f));
        w.end();
    }
    return w.end().take();
}

std::string PhoneHub::stateMessage() const {
    // What never changes is written once: each control up to its value, the
    // list of EQs and the curve frequencies.
    struct Fixed {
        std::vector<std::string> controls;  // "{...,\"value\":"
        std::string eqs;
        std::string freqs;
    };
    static const Fixed fixed = [] {
        Fixed f;
        for (const int word : liveControlWords()) {
            const ControlInfo& c = controlInfo(word);
            std::string head = jsonText(Json{{"name", c.name},
                                             {"zh", c.zh},
                                             {"en", c.en},
                                             {"min", static_cast<int>(c.lo)},
                                             {"max", static_cast<int>(c.hi)},
                                             {"toggle", c.toggle}});
            head.pop_back();
            f.controls.push_back(head + ",\"value\":");
        }
        Json eqs = Json::array();
        for (int eq = 0; eq < kEqCount; ++eq) {
            eqs.push_back({{"eq", eq},
                           {"zh", std::string(eqTitle(eq, 0))},
                           {"en", std::string(eqTitle(eq, 1))},
                           {"bands", eqPointCount(eq)}});
        }
        f.eqs = jsonText(eqs);
        const CurveAxis axis(kPhoneCurveWidth);
        JsonWriter freqs;
        freqs.beginArray();
        for (float hz : axis.frequencies())
            freqs.single(rounded(hz, 0.1f));
        f.freqs = freqs.end().take();
        return f;
    }();
    JsonWriter w;
    w.reserve(fixed.eqs.size() + fixed.freqs.size() + 2048);
    w.beginObject().key("state").beginObject().key("controls").beginArray();
    const auto words = liveControlWords();
    for (std::size_t i = 0; i < words.size(); ++i)
        w.raw(fixed.controls[i] + jsonText(valueJson(store_, words[i])) + "}");
    w.end().key("eqs").raw(fixed.eqs).key("mode").integer(store_.currentMode.load() + 1);
    if (curves_) w.key("freqs").raw(fixed.freqs);
    return w.end().end().take();
}

}  // namespace v36::phone
