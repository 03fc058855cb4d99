// The room remote's messages through a real WebSocket on the loopback
// address, against the server without a desktop (stores, then sends through
// the writer to the virtual unit).
#include <gtest/gtest.h>

#include <QHostAddress>
#include <atomic>
#include <chrono>
#include <ostream>

#include "context/device_context.h"
#include "phone/phone_server.h"
#include "phone_client.h"
#include "protocol/bytes.h"
#include "protocol/eq_access.h"
#include "protocol/words.h"
#include "protocol/write_queue.h"

namespace v36::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCode = "123456";
constexpr const char* kPair = R"({"pair": "123456"})";

class PhoneServerTest : public ::testing::Test {
  public:
    VirtualUnit& unit() { return *unit_; }
    // The unit has every send posted so far.
    void settle() { ctx_.writer.waitIdle(); }
    const std::vector<int>& recalls() const { return recalls_; }
    // The single the unit holds at block.index.
    float unitFloat(int block, int index) {
        settle();
        const auto words = unit_->paramWords(block, index);
        return words.empty() ? -1.0f : bitsFloat(words[0]);
    }

  protected:
    void SetUp() override {
        VirtualUnitConfig config;
        config.latency = std::chrono::microseconds(100);
        unit_ = &ctx_.useVirtualUnit(config);
        ASSERT_TRUE(ctx_.openLink());
        // The unit's settings as read: volume limits 99.
        ctx_.store.settingsApplied.set(5, 99);
        ctx_.store.settingsApplied.set(6, 99);
        phone::PhoneServer::Options options;
        options.listen = QHostAddress(QHostAddress::LocalHost);
        options.port = 0;
        options.pairCode = QString::fromLatin1(kCode);
        options.clock = [this] { return start_ + std::chrono::seconds(seconds_.load()); };
        ASSERT_TRUE(server_.start(options));
    }

    QUrl url(const char* path = "/ws") const {
        return QUrl(QStringLiteral("ws://127.0.0.1:%1%2").arg(server_.port()).arg(path));
    }
    DeviceContext ctx_;
    VirtualUnit* unit_ = nullptr;
    std::vector<int> recalls_;
    phone::DirectEditor editor_{ctx_.editor, [this] { return ctx_.unitAttached(); },
                                [this](int mode) {
                                    recalls_.push_back(mode);
                                    return std::string();
                                }};
    phone::PhoneServer server_{ctx_.store, editor_};
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::atomic<int> seconds_{0};
};

// One step of a case: the clock moves on, client `client` (opened, or
// opened anew after a close, when needed) sends `send`, then the next
// message holding `expect` arrives and, with `close`, the server closes the
// socket with that code.
struct Step {
    int client = 0;
    std::string send;
    std::string expect;
    int close = 0;
    int advanceSeconds = 0;
};
struct MessageCase {
    const char* name;
    std::vector<Step> steps;
    std::function<void(PhoneServerTest&)> check;
};

std::vector<Step> wrongCodes(int n) {
    std::vector<Step> steps;
    for (int i = 0; i < n; ++i)
        steps.push_back({0, R"({"pair": "654321"})", "", phone::kCloseWrongCode});
    return steps;
}

std::vector<Step> joined(std::vector<Step> a, const std::vector<Step>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Printed (in the test list too) as its name.
void PrintTo(const MessageCase& c, std::ostream* os) {
    *os << c.name;
}

class PhoneMessages : public PhoneServerTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(PhoneMessages, AnswersAsTheTableSays) {
    const MessageCase& c = GetParam();
    PhoneClient clients[2];
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& s = c.steps[i];
        SCOPED_TRACE("step " + std::to_string(i + 1) + ": " + s.send.substr(0, 80));
        seconds_ += s.advanceSeconds;
        PhoneClient& client = clients[s.client];
        if (!client.connected()) {
            ASSERT_TRUE(client.open(url()));
        }
        client.send(s.send);
        if (!s.expect.empty()) {
            const auto m = client.waitMessage(s.expect);
            std::string seen;
            for (const std::string& text : client.messages())
                seen += text.substr(0, 300) + "\n";
            ASSERT_TRUE(m.has_value()) << "no message holding " << s.expect << "; got:\n" << seen;
        }
        if (s.close != 0) {
            EXPECT_EQ(client.waitClosed(), s.close);
        } else {
            // Still open: it answers the next message.
            client.send(R"({"get": "micMute"})");
            ASSERT_TRUE(client.waitMessage(R"("name":"micMute")").has_value());
        }
    }
    if (c.check) c.check(*this);
}

const std::string kLong(phone::kMaxMessageBytes + 1, ' ');

std::vector<MessageCase> messageCases() {
    return {
        MessageCase{
            "Pairing", {{0, kPair, R"({"paired":true})"}, {0, kPair, R"("paired":true)"}}, {}},
        MessageCase{"PairingSendsTheState", {{0, kPair, R"("controls":[{"name":"micVolume")"}}, {}},
        MessageCase{"WrongCode", {{0, R"({"pair": "000000"})", "", phone::kCloseWrongCode}}, {}},
        MessageCase{
            "NotPairedYet",
            {{0, R"({"get": "micVolume"})", R"({"error":"pair first)", phone::kCloseWrongCode}},
            {}},
        MessageCase{"LockoutAfterFiveWrongCodes",
                    joined(wrongCodes(5), {{0, kPair, "", phone::kCloseLockedOut},
                                           {0, kPair, "", phone::kCloseLockedOut, 30},
                                           {0, kPair, R"({"paired":true})", 0, 31}}),
                    {}},
        MessageCase{"FourWrongCodesDoNotLockOut",
                    joined(wrongCodes(4), {{0, kPair, R"({"paired":true})"}}),
                    {}},
        MessageCase{
            "Get",
            {{0, kPair, "paired"},
             {0, R"({"get": "outMain.level[0]"})", R"({"name":"outMain.level[0]","value":)"}},
            {}},
        MessageCase{
            "SetReachesTheUnitAndEveryPhone",
            {{0, kPair, "paired"},
             {1, kPair, "paired"},
             {0, R"({"set": "musicVolume", "value": 42})", R"({"name":"musicVolume","value":42})"},
             {1, R"({"get": "micMute"})", R"({"name":"musicVolume","value":42})"}},
            [](PhoneServerTest& t) { EXPECT_FLOAT_EQ(t.unitFloat(4, 15), 0.42f); }},
        MessageCase{"SetFloatWord",
                    {{0, kPair, "paired"},
                     {0, R"({"set": "outSub.compRatio", "value": 4.5})",
                      R"({"name":"outSub.compRatio","value":4.5})"}},
                    {}},
        MessageCase{"OutOfRange",
                    {{0, kPair, "paired"},
                     {0, R"({"set": "musicPitch", "value": 9})",
                      R"({"error":"musicPitch lies within -5..5"})"},
                     {0, R"({"set": "micMute", "value": 0.5})",
                      R"({"error":"micMute takes a whole number"})"}},
                    {}},
        MessageCase{"UnknownName",
                    {{0, kPair, "paired"},
                     {0, R"({"set": "micVolumes", "value": 1})",
                      R"({"error":"no parameter named \"micVolumes\""})"},
                     {0, R"({"get": 5})", R"({"error":"\"get\" takes a text"})"},
                     {0, R"({"fly": 1})", R"({"error":"unknown message \"fly\""})"}},
                    {}},
        MessageCase{"Malformed",
                    {{0, kPair, "paired"},
                     {0, R"({"set": "musicVolume", "value": )", R"({"error":"not JSON"})"},
                     {0, R"([1, 2])", R"({"error":"a message is a JSON object"})"},
                     {0, R"({"band": {"eq": [[1]]}})", R"({"error":"nested too deeply"})"},
                     {0, R"({"set": "musicVolume", "value": 1e999})", R"({"error":)"}},
                    {}},
        MessageCase{"Oversized",
                    {{0, kPair, "paired"},
                     {0, R"({"get": ")" + kLong + R"("})", R"({"error":"message too long)"}},
                    {}},
        MessageCase{"OversizedBeforePairing",
                    {{0, kLong, R"({"error":"message too long)", phone::kCloseWrongCode}},
                    {}},
        MessageCase{"BandEdit",
                    {{0, kPair, "paired"},
                     {0, R"({"band": {"eq": 5, "band": 3, "gain": -4.5, "q": 2}, "end": true})",
                      R"("band":3,"type":1,"freq":50.0,"gain":-4.5,"q":2.0)"}},
                    [](PhoneServerTest& t) {
                        t.settle();
                        const auto regs = t.unit().registers();
                        const BandRecord r =
                            BandRecord::decode(regs.data() + recordOffset(eqInfo(kEqMain).bank,
                                                                          sectionOf(kEqMain, 2)));
                        EXPECT_FLOAT_EQ(r.gain, -4.5f);
                        EXPECT_EQ(r.freq, 50);
                    }},
        MessageCase{
            "BandOutOfRange",
            {{0, kPair, "paired"},
             {0, R"({"band": {"eq": 5, "band": 3, "gain": 20}})",
              R"({"error":"MAIN EQ band 3: gain lies within -15..15 dB"})"},
             {0, R"({"band": {"eq": 5, "band": 25}})", R"({"error":"MAIN EQ has bands 1..24"})"},
             {0, R"({"band": {"eq": 0, "band": 8, "freq": 700}})", R"(has a fixed frequency)"},
             {0, R"({"band": {"eq": 12, "band": 1}})",
              R"({"error":"EQ numbers run from 0 to 11"})"}},
            {}},
        MessageCase{"EqAndRecall",
                    {{0, kPair, "paired"},
                     {0, R"({"eq": 2})", R"({"eq":2,"title":[)"},
                     {0, R"({"mode": "recall", "index": 3})", ""},
                     {0, R"({"mode": "recall", "index": 5})",
                      R"({"error":"memory modes run from 1 to 4"})"}},
                    [](PhoneServerTest& t) { EXPECT_EQ(t.recalls(), std::vector<int>{2}); }}};
}

INSTANTIATE_TEST_SUITE_P(Table, PhoneMessages, ::testing::ValuesIn(messageCases()),
                         [](const ::testing::TestParamInfo<MessageCase>& p) {
                             return p.param.name;
                         });

// What a phone opens for each place the server listens: every address of
// the machine (IPv4 first, IPv6 in brackets, never a link-local one), the
// IPv4 ones alone, or the one address listened on; the loopback address
// when the machine has none.
TEST(PhoneServerAddresses, FollowWhereTheServerListens) {
    const QList<QHostAddress> local{
        QHostAddress(QStringLiteral("192.168.1.20")), QHostAddress(QStringLiteral("2001:db8::20")),
        QHostAddress(QStringLiteral("fe80::1")), QHostAddress(QStringLiteral("10.0.0.7"))};
    using phone::PhoneServer;
    EXPECT_EQ(PhoneServer::urlsFor(QHostAddress(QHostAddress::Any), 8036, local),
              (QStringList{"http://192.168.1.20:8036/", "http://[2001:db8::20]:8036/",
                           "http://10.0.0.7:8036/"}));
    EXPECT_EQ(PhoneServer::urlsFor(QHostAddress(QHostAddress::AnyIPv4), 8036, local),
              (QStringList{"http://192.168.1.20:8036/", "http://10.0.0.7:8036/"}));
    EXPECT_EQ(PhoneServer::urlsFor(QHostAddress(QHostAddress::AnyIPv6), 80, local),
              (QStringList{"http://[2001:db8::20]:80/"}));
    EXPECT_EQ(PhoneServer::urlsFor(QHostAddress(QStringLiteral("10.0.0.7")), 8036, local),
              (QStringList{"http://10.0.0.7:8036/"}));
    EXPECT_EQ(PhoneServer::urlsFor(QHostAddress(QHostAddress::Any), 8036, {}),
              (QStringList{"http://127.0.0.1:8036/"}));
    EXPECT_EQ(PhoneServer::urlsFor(QHostAddress(QHostAddress::AnyIPv6), 8036, {}),
              (QStringList{"http://[::1]:8036/"}));
}

}  // namespace
}  // namespace v36::test
