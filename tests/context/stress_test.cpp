// Everything that touches the store and the link at once, for a bounded
// time, on a unit that answers fast and slow: the GUI thread's store edits
// with their sends on the writer thread, pulls and pushes on the sync worker,
// the level poll and the read thread. Run under ThreadSanitizer in CI; here
// it checks that every piece finishes and the last edit is what the unit
// holds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "context/device_context.h"
#include "protocol/bytes.h"
#include "protocol/eq_access.h"
#include "protocol/report.h"
#include "protocol/sync.h"
#include "protocol/words.h"
#include "protocol/write_queue.h"
#include "support/quick_timings.h"

namespace v36::test {
namespace {

using namespace std::chrono_literals;

TEST(Stress, EditsPullsPushesAndPollsAtOnce) {
    DeviceContext ctx;
    VirtualUnitConfig config;
    config.latency = 100us;
    config.recording = false;
    VirtualUnit& unit = ctx.useVirtualUnit(config);
    ctx.link.setResponseWait(50ms);
    ASSERT_TRUE(ctx.openLink());

    SyncWorker sync(ctx.store, ctx.link, ctx.dispatcher);
    sync.setTimings(quickSyncTimings());
    std::atomic<int> syncsDone{0};
    sync.setDoneHandler([&](SyncKind) { syncsDone.fetch_add(1); });

    WriteQueue writer;
    ctx.senders.setSleeper([](std::chrono::milliseconds) {});
    std::atomic<bool> stop{false};

    // The unit slows down and speeds up.
    std::thread moods([&] {
        bool slow = false;
        while (!stop.load()) {
            unit.setLatency(slow ? std::chrono::microseconds(3000)
                                 : std::chrono::microseconds(100));
            slow = !slow;
            std::this_thread::sleep_for(37ms);
        }
    });
    // The level poll, as the view posts it.
    std::thread poll([&] {
        while (!stop.load()) {
            writer.post([&] { ctx.senders.sendCommand({cmd::kQueryStatus, -1}); });
            std::this_thread::sleep_for(10ms);
        }
    });
    // Pulls and pushes, one after the other as the worker takes them.
    std::thread syncs([&] {
        for (int i = 0; !stop.load(); ++i) {
            if (i % 2 == 0) {
                sync.startPull();
            } else {
                sync.startPush();
            }
            sync.waitIdle();
        }
    });

    // The GUI thread: store first, then the send on the writer thread, and
    // the pages reading the store meanwhile.
    EqGraphModel graph;
    const auto until = std::chrono::steady_clock::now() + 1500ms;
    int edits = 0;
    while (std::chrono::steady_clock::now() < until) {
        const int v = edits % 100;
        ctx.store.params.setInt(w::effectVolume, v);
        writer.post([&] { ctx.senders.sendWord(w::effectVolume); });
        loadEqFromStore(ctx.store, graph, edits % kEqCount);
        const int band = edits % eqPointCount(graph.eqNumber());
        graph.setGain(band, static_cast<float>(v % 30 - 15));
        const auto sections = bandSections(graph.eqNumber(), graph.bands(), band);
        const int bank = eqInfo(graph.eqNumber()).bank;
        for (const SectionSetting& s : sections) {
            writer.post([&ctx, bank, s] {
                ctx.senders.sendSection(bank, s.section, s.type, s.gain, s.freq, s.q);
            });
        }
        (void)ctx.store.liveStatus.snapshot();
        (void)ctx.store.soundField.get();
        ++edits;
        std::this_thread::sleep_for(1ms);
    }
    stop.store(true);
    syncs.join();
    poll.join();
    moods.join();
    writer.waitIdle();
    sync.waitIdle();

    EXPECT_GT(edits, 100);
    EXPECT_GT(syncsDone.load(), 1);
    // Once everything is done, the last edit reaches the unit.
    unit.setLatency(100us);
    ctx.store.params.setInt(w::effectVolume, 77);
    ctx.senders.sendWord(w::effectVolume);
    ctx.senders.sendCommand({cmd::kQueryStatus, -1});
    ASSERT_FALSE(unit.paramWords(1, 32).empty());
    EXPECT_FLOAT_EQ(bitsFloat(unit.paramWords(1, 32)[0]), 0.77f);
    ctx.closeLink();
}

}  // namespace
}  // namespace v36::test
