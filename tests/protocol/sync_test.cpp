#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "context/device_context.h"
#include "protocol/bytes.h"
#include "protocol/sync.h"
#include "protocol/word_table.h"
#include "protocol/words.h"

namespace v36 {
namespace {

using std::chrono::milliseconds;

SyncTimings quickTimings() {
    SyncTimings t;
    t.pullStart = milliseconds(5);
    t.beforeDone = milliseconds(0);
    t.afterDone = milliseconds(0);
    t.afterRead = milliseconds(5);
    t.pushStart = milliseconds(0);
    t.pushEnd = milliseconds(5);
    t.musicFadeStep = milliseconds(0);
    return t;
}

// One application context on a virtual unit, with its sync worker.
struct Rig {
    explicit Rig(VirtualUnit* shared = nullptr) {
        if (shared == nullptr) {
            VirtualUnitConfig config;
            config.latency = std::chrono::microseconds(100);
            unit = &ctx.useVirtualUnit(config);
        }
        sync.setTimings(quickTimings());
        sync.setDoneHandler([this](SyncKind kind) {
            std::lock_guard<std::mutex> lock(mutex);
            done.push_back(kind);
        });
    }
    bool open() { return ctx.openLink().ok(); }
    std::vector<SyncKind> completions() {
        std::lock_guard<std::mutex> lock(mutex);
        return done;
    }
    std::size_t receivedWithCode(std::uint8_t code) const {
        std::size_t n = 0;
        for (const Report& r : unit->received())
            n += r[1] == code ? 1u : 0u;
        return n;
    }

    DeviceContext ctx;
    VirtualUnit* unit = nullptr;
    SyncWorker sync{ctx.store, ctx.link, ctx.dispatcher};
    std::mutex mutex;
    std::vector<SyncKind> done;
};

// A store whose every word holds a value that survives the unit's
// encoding and the read-back conversions.
void fillDistinct(ParamStore& s) {
    ParamBlock& p = s.params;
    for (const WordInfo& info : wordTable()) {
        const int w = info.word;
        switch (info.kind) {
            case WordKind::Level:
                p.setInt(w, (w * 7) % 101);
                break;
            case WordKind::Mute:
            case WordKind::Integer:
            case WordKind::DelayMode:
                p.setInt(w, w % 2);
                break;
            case WordKind::Pitch:
                p.setInt(w, -3);
                break;
            case WordKind::Samples:
                p.setFloat(w, 1.5f + static_cast<float>(w));
                break;
            case WordKind::Gate4:
                p.setInt(w, 1234 + w);
                break;
            case WordKind::Gate5:
                p.setInt(w, 567);
                break;
            case WordKind::Gate7:
                p.setInt(w, 89);
                break;
            case WordKind::Raw:
                p.setFloat(w, -12.5f);
                break;
            case WordKind::ReverbTime:
                p.setFloat(w, 42.0f);
                break;
            case WordKind::CompThreshold:
                p.setFloat(w, -10.5f);
                break;
            case WordKind::CompRatio:
                p.setFloat(w, 4.0f);
                break;
            case WordKind::CompAttack:
                p.setFloat(w, 10.0f);
                break;
            case WordKind::CompRelease:
                p.setFloat(w, 100.0f);
                break;
            case WordKind::FreqShift:
                break;
        }
    }
    p.setInt(w::micAFreq, 3);
    p.setInt(w::micAFreqMode, 0);
    p.setInt(w::micBFreq, 1);
    p.setInt(w::micBFreqMode, 1);
    auto regs = s.registers.snapshot();
    for (std::size_t i = 0; i < regs.size(); ++i)
        regs[i] = static_cast<std::uint8_t>(i * 13 + 5);
    s.registers.assign(regs);
    SoundFieldGeometry g = s.soundField.get();
    g.roomWidth = 7;
    g.listenerX = -1.3f;
    g.speakerY[4] = 2.5f;
    s.soundField.set(g);
    for (int k = 0; k < 8; ++k)
        s.setSpeakerLevel(k, -static_cast<float>(k));
    s.musicSource.store(2);
    s.hdmiInput.store(3);
}

TEST(Sync, PushThenPullReproducesTheStore) {
    Rig a;
    ASSERT_TRUE(a.open());
    fillDistinct(a.ctx.store);
    a.sync.pushToUnit();
    EXPECT_EQ(a.completions(), std::vector<SyncKind>{SyncKind::Push});

    // A second application reads the unit back.
    DeviceContext other;
    SyncWorker pull(other.store, other.link, other.dispatcher);
    pull.setTimings(quickTimings());
    a.ctx.closeLink();
    ASSERT_TRUE(other.link.openLink(*a.unit).ok());
    pull.syncFromUnit();

    const ParamStore& x = a.ctx.store;
    const ParamStore& y = other.store;
    EXPECT_TRUE(identityAccepted(y));
    for (const WordInfo& info : wordTable()) {
        const int w = info.word;
        if (w == w::micVolume || w == w::musicVolume) continue;  // the unit keeps its own
        if (info.kind == WordKind::CompAttack || info.kind == WordKind::CompRelease) {
            // The unit's coefficient reads back half a sample later.
            EXPECT_NEAR(y.params.getFloat(w), x.params.getFloat(w) + 0.5f / 48.0f, 0.02f)
                << info.name;
            continue;
        }
        EXPECT_EQ(y.params.getRaw(w), x.params.getRaw(w)) << info.name;
    }
    EXPECT_EQ(y.registers.snapshot(), x.registers.snapshot());
    EXPECT_EQ(y.soundFieldBlock.snapshot(), x.soundFieldBlock.snapshot());
    EXPECT_EQ(y.soundField.get(), x.soundField.get());
    EXPECT_EQ(y.speakers.snapshot(), x.speakers.snapshot());
    EXPECT_EQ(y.musicSource.load(), 2);
    EXPECT_EQ(y.hdmiInput.load(), 3);
    EXPECT_EQ(other.dispatcher.paramsChanged.load(), 0);
    EXPECT_TRUE(other.link.pollingEnabled.load());
}

TEST(Sync, PullReadsSettingsKeysAndNames) {
    Rig r;
    r.unit->setModeName(2, u"Lounge");
    ASSERT_TRUE(r.open());
    // Settings and keys the unit holds.
    r.ctx.senders.sendCommand({145, 1, 2, 3, 70, 80, 6, 7, 8, 9, 10, 11, 12, -1});
    r.ctx.senders.sendCommand({99, 0, 0x41, 0x42, -1});
    r.sync.syncFromUnit();
    const std::array<std::uint8_t, 12> settings{1, 2, 3, 70, 80, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(r.ctx.store.settingsApplied.snapshot(), settings);
    EXPECT_EQ(r.ctx.store.settingsEdit.snapshot(), settings);
    EXPECT_EQ(r.ctx.store.remoteKeyTable.at(1), 0x41);
    EXPECT_EQ(r.ctx.store.remoteKeyTable.at(2), 0x42);
    EXPECT_EQ(r.ctx.store.modeNames[2].get(), u"Lounge");
    EXPECT_EQ(r.receivedWithCode(10), 148u);
    EXPECT_EQ(r.receivedWithCode(134), 23u);
}

TEST(Sync, ModelReportedOnTheSecondQueryIsAccepted) {
    Rig r;
    r.unit->setModel("Z99");
    ASSERT_TRUE(r.open());
    std::thread fixer([&] {
        if (r.unit->waitForReceived(128, 1, milliseconds(5000))) r.unit->setModel("v36");
    });
    r.sync.syncFromUnit();
    fixer.join();
    EXPECT_EQ(r.receivedWithCode(128), 2u);
    EXPECT_TRUE(identityAccepted(r.ctx.store));
    EXPECT_EQ(r.receivedWithCode(10), 148u);
}

TEST(Sync, WrongModelOrProtocolReadsNothingButStillCompletes) {
    struct Case {
        std::string model;
        std::uint8_t protocol;
        std::size_t modelQueries;
    };
    const Case cases[] = {{"V35", 12, 2}, {"V36", 11, 1}};
    for (const auto& c : cases) {
        Rig r;
        r.unit->setModel(c.model);
        r.unit->setProtocolVersion(c.protocol);
        ASSERT_TRUE(r.open());
        r.sync.startPull();
        r.sync.waitIdle();
        EXPECT_EQ(r.completions(), std::vector<SyncKind>{SyncKind::Pull}) << c.model;
        EXPECT_EQ(r.receivedWithCode(128), c.modelQueries) << c.model;
        EXPECT_EQ(r.receivedWithCode(10), 0u) << c.model;
        EXPECT_EQ(r.receivedWithCode(134), 0u) << c.model;
        EXPECT_FALSE(identityAccepted(r.ctx.store)) << c.model;
    }
}

// The parameter values the unit received for block.index, in order.
std::vector<float> sentTo(const VirtualUnit& unit, int block, int index) {
    std::vector<float> values;
    for (const Report& r : unit.received()) {
        if (r[1] == 9 && r[3] == block && r[4] == index)
            values.push_back(bitsFloat(getBE32(&r[6])));
    }
    return values;
}

TEST(Sync, VolumesFadeInWhenKeptPerMode) {
    Rig r;
    ASSERT_TRUE(r.open());
    r.ctx.store.settingsApplied.set(settings::kVolumeSaveByMode, 1);
    r.ctx.store.params.setInt(w::micVolume, 85);
    r.ctx.store.params.setInt(w::musicVolume, 60);
    r.ctx.store.musicSource.store(7);
    r.sync.pushToUnit();

    const std::vector<float> mic{0.0f, 0.80f, 0.81f, 0.82f, 0.83f, 0.84f, 0.85f};
    EXPECT_EQ(sentTo(*r.unit, 1, 30), mic);
    EXPECT_EQ(sentTo(*r.unit, 1, 43), mic);
    EXPECT_EQ(sentTo(*r.unit, 4, 15), (std::vector<float>{0.0f, 0.60f}));
    // A music source outside 0..4 goes, and stays, as 0.
    EXPECT_EQ(r.ctx.store.musicSource.load(), 0);
    EXPECT_EQ(r.unit->musicSource(), 0);
}

TEST(Sync, PullsAndPushesRunOneAtATimeWithTrueProgress) {
    Rig r;
    ASSERT_TRUE(r.open());
    std::atomic<int> lastDone{0};
    std::atomic<int> lastTotal{0};
    std::atomic<bool> overlap{false};
    std::atomic<int> running{0};
    r.sync.setProgressHandler([&](SyncKind, int done, int total) {
        lastDone = done;
        lastTotal = total;
    });
    r.sync.setDoneHandler([&](SyncKind kind) {
        if (running.fetch_add(1) != 0) overlap = true;
        std::lock_guard<std::mutex> lock(r.mutex);
        r.done.push_back(kind);
        // Every report counted, and the total was right from the start.
        if (lastDone.load() != lastTotal.load()) overlap = true;
        running.fetch_sub(1);
    });
    r.sync.startPull();
    r.sync.startPush();
    r.sync.startPull();
    EXPECT_TRUE(r.sync.busy());
    r.sync.waitIdle();
    EXPECT_FALSE(r.sync.busy());
    EXPECT_FALSE(overlap.load());
    EXPECT_EQ(r.completions(),
              (std::vector<SyncKind>{SyncKind::Pull, SyncKind::Push, SyncKind::Pull}));
    EXPECT_EQ(lastTotal.load(), SyncWorker::kPullReports);
}

TEST(Sync, PushCountMatchesWhatIsSent) {
    Rig r;
    ASSERT_TRUE(r.open());
    r.ctx.store.settingsApplied.set(settings::kVolumeSaveByMode, 1);
    r.ctx.store.params.setInt(w::micVolume, 90);
    r.ctx.store.params.setInt(w::musicVolume, 75);
    const int expected = r.sync.pushReportCount();
    r.unit->clearTraffic();
    r.sync.pushToUnit();
    EXPECT_EQ(r.unit->received().size(), static_cast<std::size_t>(expected));
}

}  // namespace
}  // namespace v36
