// The fault matrix in the core: a pull or push against a broken unit ends
// in bounded time with what the link saw, a refused unit leaves the store
// as it was, and a failed save leaves the existing preset whole.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "context/device_context.h"
#include "protocol/mode_file.h"
#include "protocol/sync.h"
#include "protocol/words.h"
#include "support/file_size_limit.h"
#include "support/quick_timings.h"

namespace v36::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using Status = ReadReport::Status;

struct UnitFault {
    const char* fault;
    SyncKind kind;
    Status pulled;    // how a pull ended
    bool missed;      // some answer never came (a push)
    bool stillOpen;   // the link is open afterwards
    bool storeAsWas;  // nothing of the unit reached the parameter words
};

TEST(FaultMatrix, BrokenUnitsEndInTimeAndSayWhatHappened) {
    // A pull asks again what went unanswered or came garbled; what could
    // still not be read leaves the store as it was, with the diagnosis.
    const UnitFault cases[] = {
        {"silent", SyncKind::Pull, Status::NoAnswer, false, true, true},
        {"unplug-after=60", SyncKind::Pull, Status::Closed, false, false, true},
        {"garbage=100", SyncKind::Pull, Status::Garbled, false, true, true},
        {"drop=5", SyncKind::Pull, Status::Complete, false, true, false},
        {"drop=20", SyncKind::Pull, Status::Complete, false, true, false},
        {"garbage=20", SyncKind::Pull, Status::Complete, false, true, false},
        {"model=V35", SyncKind::Pull, Status::WrongModel, false, true, true},
        {"protocol=11", SyncKind::Pull, Status::WrongProtocol, false, true, true},
        {"unplug-after=100", SyncKind::Push, Status::Complete, false, false, true},
        {"silent", SyncKind::Push, Status::Complete, true, true, true},
    };
    for (const UnitFault& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + (c.kind == SyncKind::Pull ? " pull" : " push"));
        DeviceContext ctx;
        VirtualUnitConfig config;
        config.latency = 100us;
        config.recording = false;
        ASSERT_EQ(applySimFault(config, c.fault), "");
        ctx.useVirtualUnit(config);
        // Short waits keep the silent cases quick; where every answer comes,
        // a loaded machine must not make a late one look missed.
        ctx.link.setResponseWait(c.kind == SyncKind::Push && c.missed ? 10ms : 200ms);
        ASSERT_TRUE(ctx.openLink());

        // Something of our own in the store that a pull from a good unit
        // would replace.
        ctx.store.params.setInt(w::effectVolume, 77);
        const auto params = ctx.store.params.toBytes();

        SyncWorker sync(ctx.store, ctx.link, ctx.dispatcher);
        sync.setTimings(quickSyncTimings());
        std::atomic<bool> done{false};
        sync.setDoneHandler([&](SyncKind) { done.store(true); });
        const auto start = std::chrono::steady_clock::now();
        if (c.kind == SyncKind::Pull) {
            sync.startPull();
        } else {
            sync.startPush();
        }
        sync.waitIdle();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_TRUE(done.load());
        if (c.kind == SyncKind::Pull) {
            const ReadReport report = sync.lastPull();
            EXPECT_EQ(report.status, c.pulled) << report.message(1);
            EXPECT_EQ(identityAccepted(ctx.store), c.pulled == Status::Complete);
        } else {
            EXPECT_EQ(ctx.link.missedAnswers() > 0, c.missed) << ctx.link.missedAnswers();
        }
        EXPECT_EQ(ctx.link.linkOpen.load() && !ctx.link.readThreadEnd.load(), c.stillOpen);
        if (c.storeAsWas) {
            EXPECT_EQ(ctx.store.params.toBytes(), params);
        }
        ctx.closeLink();
    }
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FaultMatrix, FailedSavesLeaveThePresetWhole) {
    const fs::path dir = fs::temp_directory_path() / ("v36-faults-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ParamStore original;
    original.resetToDefaults();
    const fs::path preset = dir / "preset.ev36";
    ASSERT_TRUE(saveModeFile(original, preset));
    const std::string before = slurp(preset);
    ParamStore edited;
    edited.resetToDefaults();
    edited.params.setInt(w::effectVolume, 12);

    // Write-protected: refused even for an administrator.
    fs::permissions(preset, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    FileResult r = saveModeFile(edited, preset);
    EXPECT_EQ(r.error.kind, FileErrorKind::CannotWrite);
    EXPECT_EQ(slurp(preset), before);
    fs::permissions(preset, fs::perms::owner_read | fs::perms::owner_write);

    // A folder that is gone.
    r = saveModeFile(edited, dir / "gone" / "x.ev36");
    EXPECT_EQ(r.error.kind, FileErrorKind::CannotWrite);
    EXPECT_FALSE(fs::exists(dir / "gone"));

    // The file system refuses the write part-way (a file-size limit below
    // the file's size, where the system has one).
    if (FileSizeLimit::kAvailable) {
        {
            FileSizeLimit small(1000);
            r = saveModeFile(edited, preset);
        }
        EXPECT_EQ(r.error.kind, FileErrorKind::CannotWrite);
        EXPECT_EQ(slurp(preset), before);
        std::size_t leftovers = 0;
        for (const auto& entry : fs::directory_iterator(dir))
            leftovers += entry.path().filename() != "preset.ev36" ? 1u : 0u;
        EXPECT_EQ(leftovers, 0u);  // no half-written temporary file stays
    }

    // A store that read a file that failed is unchanged.
    ParamStore store;
    store.resetToDefaults();
    const auto params = store.params.toBytes();
    { std::ofstream(dir / "short.ev36", std::ios::binary) << std::string("\x02\0\0\0abc", 7); }
    EXPECT_FALSE(loadModeFile(store, dir / "short.ev36"));
    EXPECT_EQ(store.params.toBytes(), params);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace v36::test
