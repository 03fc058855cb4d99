#include "cli/connection.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/json.h"
#include "context/device_context.h"
#include "protocol/default_mode.h"
#include "protocol/mode_file.h"
#include "protocol/report.h"
#include "protocol/sync.h"
#include "protocol/words.h"
#include "remote/remote_file.h"

namespace v36::cli {

namespace {

// A trace line: the direction, then the 61 bytes in hex.
std::string traceLine(bool outgoing, const Report& r) {
    std::string line = outgoing ? "TX" : "RX";
    char buf[4];
    for (std::uint8_t b : r) {
        std::snprintf(buf, sizeof buf, " %02X", b);
        line += buf;
    }
    line += '\n';
    return line;
}

}  // namespace

struct Connection::Impl {
    explicit Impl(const ConnectionOptions& o) : options(o) {
        if (options.debugTrace) ctx.trace.setEnabled(true);
        if (options.backend) {
            ctx.useBackend(*options.backend);
        } else if (options.simulate) {
            VirtualUnitConfig config = options.unit;
            config.recording = false;
            ctx.useVirtualUnit(config);
        }
        ctx.link.setGiveUpAfter(kGiveUpAfterWrites);
        if (options.trace) {
            ctx.link.setReportObserver([this](bool outgoing, const Report& r) {
                const std::string line = traceLine(outgoing, r);
                std::lock_guard<std::mutex> lock(traceMutex);
                std::fwrite(line.data(), 1, line.size(), stderr);
            });
        }
        ctx.dispatcher.setParameterErrorHandler(
            [this](std::string_view text) { note("the unit reports: " + std::string(text)); });
        // A command-line run does not wait for the unit to settle as long as
        // the window does after a connection; everything else keeps its pace.
        SyncTimings t;
        t.pullStart =
            options.simulate ? std::chrono::milliseconds(50) : std::chrono::milliseconds(500);
        t.afterDone = std::chrono::milliseconds(0);
        sync.setTimings(t);
    }

    ~Impl() {
        if (opened) {
            // No goodbye to a silent unit: it would only wait out its time.
            if (!silent()) {
                finishWrites();
                ctx.senders.sendCommand({cmd::kDisconnect, -1});
                finishWrites();
            }
            ctx.closeLink();
            ctx.link.joinReadThread();
        }
    }

    void note(const std::string& text) const {
        if (options.note) {
            options.note(text);
        } else {
            std::cerr << "v36ctl: " << text << "\n";
        }
    }

    void finishWrites() {
        // The edits' sends first.
        ctx.writer.waitIdle();
        // Nothing to wait for from a silent or departed unit.
        if (silent() || ctx.link.readThreadEnd.load() || !ctx.link.linkOpen.load()) return;
        // A query's write waits for the previous answer; then its own.
        ctx.senders.sendCommand({cmd::kQueryMode, -1});
        ctx.link.responseEvent.waitFor(ctx.link.responseWait());
        ctx.link.responseEvent.set();
    }

    // A unit that never told its model, or left writes in a row unanswered.
    bool silent() const { return noModel || ctx.link.gaveUp(); }
    bool answered(std::string& error) {
        if (ctx.link.readThreadEnd.load() || !ctx.link.linkOpen.load()) {
            error = "the unit was disconnected";
            return false;
        }
        if (!silent()) return true;
        error = "the unit does not answer";
        return false;
    }

    // The first half of the pull; a unit that does not even answer the
    // model query is silent.
    void identifyUnit() {
        report = sync.identifyUnit();
        noModel = report.status == ReadReport::Status::NoAnswer ||
                  report.status == ReadReport::Status::Garbled;
    }

    // What the last identification or pull found, as the user reads it.
    bool identified(std::string& error) {
        if (report.status == ReadReport::Status::Closed) return answered(error);
        if (!report.complete()) {
            error = report.message(1);
            return false;
        }
        return answered(error);
    }

    ConnectionOptions options;
    DeviceContext ctx;
    SyncWorker sync{ctx.store, ctx.link, ctx.dispatcher};
    ReadReport report;
    std::mutex traceMutex;
    bool opened = false;
    bool pulled = false;
    bool noModel = false;
};

Connection::Connection(const ConnectionOptions& options) : impl_(std::make_unique<Impl>(options)) {}

Connection::~Connection() = default;

ParamStore& Connection::store() {
    return impl_->ctx.store;
}
Senders& Connection::senders() {
    return impl_->ctx.senders;
}
DeviceContext& Connection::context() {
    return impl_->ctx;
}
void Connection::finishWrites() {
    impl_->finishWrites();
}
bool Connection::answered(std::string& error) {
    return impl_->answered(error);
}

bool Connection::open(std::string& error) {
    Impl& m = *impl_;
    const OpenResult r = m.ctx.openLink(m.options.path);
    if (!r) {
        error = r.message.empty() ? "no V36 unit is connected" : r.message;
        return false;
    }
    m.opened = true;
    return true;
}

bool Connection::identify(std::string& error) {
    Impl& m = *impl_;
    std::this_thread::sleep_for(m.options.simulate ? std::chrono::milliseconds(50)
                                                   : std::chrono::milliseconds(500));
    m.identifyUnit();
    finishWrites();
    return m.identified(error);
}

bool Connection::pull(std::string& error) {
    Impl& m = *impl_;
    if (m.pulled) return true;
    m.ctx.link.pollingEnabled = false;
    // Each read is checked and asked again; a state that could not be read
    // whole never reaches the store.
    m.report = m.sync.pullUnit();
    m.noModel = m.report.status == ReadReport::Status::NoAnswer ||
                m.report.status == ReadReport::Status::Garbled;
    if (!m.identified(error)) return false;
    m.pulled = true;
    return true;
}

bool Connection::gone() {
    const DeviceContext& ctx = impl_->ctx;
    // A unit pulled out ends the read thread before anyone closes the link.
    return !ctx.unitAttached() || ctx.link.readThreadEnd.load();
}

bool Connection::reopen(std::string& error) {
    Impl& m = *impl_;
    m.ctx.closeLink();
    m.pulled = false;
    const OpenResult r = m.ctx.openLink(m.options.path);
    if (!r) {
        error = r.message.empty() ? "no V36 unit is connected" : r.message;
        return false;
    }
    m.opened = true;
    return pull(error);
}

bool Connection::pushFile(const std::filesystem::path& file, bool defaultModes,
                          std::string& error) {
    Impl& m = *impl_;
    // The unit must be the right one before it is written to. Identifying
    // asks for its music source and HDMI input, whose answers land in the
    // store: the file is read only once they are all in.
    m.identifyUnit();
    if (!m.identified(error)) return false;
    finishWrites();
    DefaultModeState state;
    const FileResult loaded =
        defaultModes ? state.loadModeFile(m.ctx.store, file) : loadModeFile(m.ctx.store, file);
    if (!loaded) {
        error = loaded.error.detail;
        return false;
    }
    m.sync.fullPush();
    finishWrites();
    if (!m.answered(error)) return false;
    if (state.storeAfterPush(m.ctx.senders)) {
        m.note("stored into memory mode M" + std::to_string(m.ctx.store.currentMode.load() + 1));
        finishWrites();
    }
    return m.answered(error);
}

std::string Connection::serial() {
    DeviceContext& ctx = impl_->ctx;
    const UnitList list = ctx.backend().listUnits(ctx.trace);
    const std::string& path = impl_->options.path;
    for (const UnitListing& u : list.units)
        if (path.empty() || u.path == path) return u.serial;
    return {};
}

bool Connection::recallMode(int mode, std::string& error) {
    Impl& m = *impl_;
    m.identifyUnit();
    if (!m.identified(error)) return false;
    m.ctx.senders.sendCommand({cmd::kRecallMode, mode, -1});
    m.pulled = false;
    return pull(error);
}

bool Connection::storeMode(int mode, std::string& error) {
    Impl& m = *impl_;
    m.identifyUnit();
    if (!m.identified(error)) return false;
    m.ctx.senders.sendCommand({cmd::kStoreMode, mode, -1});
    m.ctx.dispatcher.paramsChanged = 0;
    finishWrites();
    return m.answered(error);
}

bool Connection::saveRemote(const std::filesystem::path& file, std::string& error) {
    if (!pull(error)) return false;
    const FileResult r = saveRemoteFile(store(), withRemoteExtension(file));
    if (!r) {
        error = r.error.detail;
        return false;
    }
    return true;
}

bool Connection::loadRemote(const std::filesystem::path& file, std::string& error) {
    // The file first: one that is not the table reaches no unit.
    const RemoteFileRead read = readRemoteFile(file);
    if (!read.result) {
        error = read.result.error.detail;
        return false;
    }
    Impl& m = *impl_;
    m.identifyUnit();
    if (!m.identified(error)) return false;
    m.ctx.store.remoteKeyTable.write(0, read.table.data(), read.table.size());
    sendRemoteKeyTable(m.ctx.senders);
    finishWrites();
    return m.answered(error);
}

bool Connection::printInfo(bool json, std::ostream& out) {
    const ParamStore& s = store();
    if (json) {
        Json names = Json::array();
        for (const auto& name : s.modeNames)
            names.push_back(name.utf8());
        const Json j = {{"model", s.deviceModel.utf8()},
                        {"protocol", static_cast<int>(s.protocolVersion.load())},
                        {"dspVersion", s.dspVersion.utf8()},
                        {"mcuVersion", s.mcuVersion.utf8()},
                        {"currentMode", static_cast<int>(s.currentMode.load()) + 1},
                        {"modeNames", names}};
        out << jsonText(j) << "\n";
        return true;
    }
    out << "model:        " << s.deviceModel.utf8() << "\n"
        << "protocol:     " << static_cast<int>(s.protocolVersion.load()) << "\n"
        << "DSP version:  " << s.dspVersion.utf8() << "\n"
        << "MCU version:  " << s.mcuVersion.utf8() << "\n"
        << "current mode: M" << (s.currentMode.load() + 1) << "\n";
    for (std::size_t k = 0; k < s.modeNames.size(); ++k) {
        out << "mode M" << (k + 1) << ":      " << s.modeNames[k].utf8() << "\n";
    }
    return true;
}

}  // namespace v36::cli
