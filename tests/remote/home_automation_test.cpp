#include "remote/home_automation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/recording_transport.h"

namespace v36 {
namespace {

using Event = HomeAutomationEvent;

// A module frame in response 18: start byte, length, type, function code and
// the parameters from report byte 7 on.
Report frame(std::uint8_t function, std::initializer_list<int> params = {},
             std::uint8_t start = 0x01) {
    Report r = makeReport(18);
    r[2] = 10;
    r[3] = start;
    r[4] = 8;
    r[5] = 0x00;
    r[6] = function;
    std::size_t at = 7;
    for (int p : params)
        r.at(at++) = static_cast<std::uint8_t>(p);
    return r;
}

// Response 20: `length` bytes of `data` at `address`.
Report memoryPiece(std::uint16_t address, int length, std::uint8_t first = 1) {
    Report r = makeReport(20);
    r[2] = static_cast<std::uint8_t>(address >> 8);
    r[3] = static_cast<std::uint8_t>(address);
    r[4] = static_cast<std::uint8_t>(length);
    for (std::size_t i = 5; i < r.size(); ++i)
        r[i] = static_cast<std::uint8_t>(first + i - 5);
    return r;
}

// Runs frames and records what happens, in order.
struct Module {
    std::vector<Event> handle(const Report& r) {
        std::vector<Event> events;
        ha.handleFrame(
            r,
            [&](const Report& ack) {
                EXPECT_TRUE(events.empty()) << "acknowledged after an event";
                (void)ha.nodeTable();  // the mirror is not locked while acknowledging
                acks.push_back(ack);
            },
            [&](const Event& e) {
                (void)ha.deviceTable();
                events.push_back(e);
            });
        return events;
    }

    DebugTrace trace;
    HomeAutomation ha{&trace};
    std::vector<Report> acks;
};

TEST(HomeAutomation, EveryModuleFrameButAnAcknowledgementIsAcknowledged) {
    Module m;
    // The module's own acknowledgement: neither answered nor interpreted.
    EXPECT_TRUE(m.handle(frame(0x42, {}, 0x06)).empty());
    EXPECT_TRUE(m.handle(frame(0x02, {0, 0, 1, 0xFF}, 0x06)).empty());
    EXPECT_TRUE(m.acks.empty());
    EXPECT_EQ(m.ha.nodeTable()[1].first, 0);

    EXPECT_EQ(m.handle(frame(0x42)), (std::vector<Event>{Event{0x42, 0}}));
    EXPECT_TRUE(m.handle(frame(0x77)).empty());  // unknown function: acknowledged only
    const Report ack = test::reportOf({0x02, 0x12, 0x01, 0x06});
    EXPECT_EQ(m.acks, (std::vector<Report>{ack, ack}));
    EXPECT_EQ(HomeAutomation::acknowledgement(), ack);
}

TEST(HomeAutomation, NodeListMarksTheNodesOfItsBitMask) {
    Module m;
    m.handle(frame(0x04, {0, 4, 1, 0x33}));  // a value that the list clears
    m.handle(frame(0x02, {0, 0, 1, 0x05}));
    NodeTable expect{};
    expect[1].first = 1;
    expect[3].first = 3;
    EXPECT_EQ(m.ha.nodeTable(), expect);

    // A mask longer than the report and the table: cut, every node 1..232 known.
    Report all = frame(0x02, {0, 0, 255});
    std::fill(all.begin() + 10, all.end(), std::uint8_t{0xFF});
    m.handle(all);
    const NodeTable nodes = m.ha.nodeTable();
    EXPECT_EQ(nodes[0].first, 0);
    for (std::size_t n = 1; n < home::kNodes; ++n)
        ASSERT_EQ(nodes[n].first, n);
}

TEST(HomeAutomation, FunctionCodesAndTheirEvents) {
    struct Case {
        const char* what;
        Report frame;
        std::optional<Event> event;
    };
    const Case cases[] = {
        {"node report", frame(0x04, {0, 7, 3, 0x20, 0x01, 0x63}), Event{0x04, 7 << 16 | 0x63}},
        {"node report, empty command", frame(0x04, {0, 7, 0}), Event{0x04, 7 << 16}},
        {"node report past the report", frame(0x04, {0, 7, 52}), std::nullopt},
        {"node report, node beyond the table", frame(0x04, {0, 240, 1, 9}),
         Event{0x04, 240 << 16 | 9}},
        {"sent", frame(0x13, {0x2C, 0}), Event{0x13, 0x2C << 16}},
        {"not sent", frame(0x13, {0x2C, 1}), Event{0x13, 0x2C << 16 | 1}},
        {"send status 2", frame(0x13, {0x2C, 2}), std::nullopt},
        {"reset done", frame(0x42), Event{0x42, 0}},
        {"adding", frame(0x4A, {0, 1}), Event{0x4A, 1}},
        {"added", frame(0x4A, {0, 5, 9}), Event{0x4A, 9 << 16 | 5}},
        {"add status 2", frame(0x4A, {0, 2, 9}), std::nullopt},
        {"added beyond the table", frame(0x4A, {0, 5, 250}), Event{0x4A, 250 << 16 | 5}},
        {"removed", frame(0x4B, {0, 6, 9}), Event{0x4B, 9 << 16 | 6}},
        {"remove status 3", frame(0x4B, {0, 3, 9}), Event{0x4B, 3}},
    };
    for (const Case& c : cases) {
        Module m;
        const std::vector<Event> events = m.handle(c.frame);
        const std::vector<Event> expect =
            c.event ? std::vector<Event>{*c.event} : std::vector<Event>{};
        EXPECT_EQ(events, expect) << c.what;
        EXPECT_EQ(m.acks.size(), 1u) << c.what;
    }
}

TEST(HomeAutomation, NodesAreAddedReportAndAreRemoved) {
    Module m;
    std::string traced;
    m.trace.setEnabled(true);
    m.trace.setSink([&](std::string_view t) { traced += t; });

    m.ha.handleMemory(memoryPiece(9 * 28, 28, 0x40));  // device entry 9 holds something
    m.handle(frame(0x04, {0, 9, 2, 0x20, 0x63}));
    m.handle(frame(0x4A, {0, 5, 9}));
    EXPECT_EQ(m.ha.nodeTable()[9], std::make_pair(std::uint8_t{9}, std::uint8_t{0x63}));
    EXPECT_EQ(m.ha.deviceEntry(9), (std::array<std::uint8_t, 28>{}));

    m.handle(frame(0x4B, {0, 6, 9}));
    EXPECT_EQ(m.ha.nodeTable()[9], std::make_pair(std::uint8_t{0}, std::uint8_t{0x63}));
    EXPECT_EQ(traced, "REMOVE ID= 9\n");

    // Nodes beyond the table change nothing.
    const NodeTable before = m.ha.nodeTable();
    const auto devices = m.ha.deviceTable();
    m.handle(frame(0x4A, {0, 5, 255}));
    m.handle(frame(0x4B, {0, 6, 233}));
    m.handle(frame(0x04, {0, 233, 1, 7}));
    EXPECT_EQ(m.ha.nodeTable(), before);
    EXPECT_EQ(m.ha.deviceTable(), devices);
}

// The bytes 1, 2, 3, ... that memoryPiece(address, n) carries.
std::vector<std::uint8_t> counting(std::size_t n, std::uint8_t first = 1) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(first + i);
    return v;
}
template <std::size_t N>
std::vector<std::uint8_t> part(const std::array<std::uint8_t, N>& a, std::size_t at,
                               std::size_t n) {
    return {a.begin() + static_cast<std::ptrdiff_t>(at),
            a.begin() + static_cast<std::ptrdiff_t>(at + n)};
}

TEST(HomeAutomation, MemoryPiecesLandWhereTheirAddressSays) {
    HomeAutomation ha;
    // Inside device entry 1 (28..55): copied to the entry's start.
    ha.handleMemory(memoryPiece(30, 4));
    EXPECT_EQ(ha.deviceEntry(1), (std::array<std::uint8_t, 28>{1, 2, 3, 4}));
    // Inside group record 1: copied to the record's start.
    ha.handleMemory(memoryPiece(6524 + 56 + 10, 3));
    EXPECT_EQ(part(ha.groupTable(), 56, 4), (std::vector<std::uint8_t>{1, 2, 3, 0}));
    // The areas take pieces at their exact address.
    ha.handleMemory(memoryPiece(6748 + 100, 2));
    EXPECT_EQ(part(ha.homeAreaA(), 99, 4), (std::vector<std::uint8_t>{0, 1, 2, 0}));
    ha.handleMemory(memoryPiece(8028 + 7000, 2));
    EXPECT_EQ(part(ha.homeAreaB(), 7000, 3), (std::vector<std::uint8_t>{1, 2, 0}));

    // The areas are one address range: a piece may run from one into the other.
    ha.handleMemory(memoryPiece(8000, 56));
    EXPECT_EQ(part(ha.homeAreaA(), 1252, 28), counting(28));
    EXPECT_EQ(part(ha.homeAreaB(), 0, 28), counting(28, 29));
}

TEST(HomeAutomation, MemoryPiecesAreCutAtTheirTableAndTheReport) {
    HomeAutomation ha;
    // The last device entry: 28 of 56 bytes fit; the group table stays clear.
    ha.handleMemory(memoryPiece(232 * 28 + 5, 56));
    EXPECT_EQ(part(ha.deviceTable(), 232 * 28, 28), counting(28));
    EXPECT_EQ(ha.groupTable(), (std::array<std::uint8_t, 224>{}));
    // The last group record: the area after it stays clear.
    ha.handleMemory(memoryPiece(6524 + 3 * 56 + 1, 56));
    EXPECT_EQ(part(ha.groupTable(), 168, 56), counting(56));
    EXPECT_EQ(ha.homeAreaA(), (std::array<std::uint8_t, 1280>{}));
    // A length beyond the report's 56 data bytes; the end of the memory.
    ha.handleMemory(memoryPiece(6748, 200));
    EXPECT_EQ(part(ha.homeAreaA(), 0, 57), [] {
        auto v = counting(56);
        v.push_back(0);
        return v;
    }());
    ha.handleMemory(memoryPiece(15190, 56));
    EXPECT_EQ(part(ha.homeAreaB(), 7162, 6), counting(6));
    // Addresses from 15196 on are ignored.
    const auto b = ha.homeAreaB();
    ha.handleMemory(memoryPiece(15196, 56));
    ha.handleMemory(memoryPiece(0xFFFF, 56));
    EXPECT_EQ(ha.homeAreaB(), b);

    ha.reset();
    EXPECT_EQ(ha.deviceTable(), (std::array<std::uint8_t, home::kDeviceTableSize>{}));
    EXPECT_EQ(ha.homeAreaB(), (std::array<std::uint8_t, home::kHomeAreaBSize>{}));
}

TEST(HomeAutomation, ReadThreadAndGuiMayUseTheMirrorTogether) {
    HomeAutomation ha;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < 2000; ++i) {
            ha.handleFrame(frame(0x04, {0, i % 233, 1, i & 0xFF}), {}, {});
            ha.handleMemory(memoryPiece(static_cast<std::uint16_t>((i * 97) % 15196), 56));
            if (i % 100 == 0) ha.handleFrame(frame(0x02, {0, 0, 2, 0xFF, 0x01}), {}, {});
        }
        done = true;
    });
    std::size_t seen = 0;
    while (!done) {
        seen += ha.nodeTable()[5].first;
        seen += ha.homeAreaB()[100];
    }
    reader.join();
    EXPECT_EQ(ha.nodeTable()[5].first, 5);
    (void)seen;
}

TEST(HomeAutomation, FuzzEntryTakesAnyBytes) {
    std::vector<std::uint8_t> data(61 * 40 + 17);
    std::uint32_t x = 12345;
    for (auto& b : data) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    fuzzHomeAutomation(data);
    fuzzHomeAutomation({});
}

}  // namespace
}  // namespace v36
