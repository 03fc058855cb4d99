#include "app/connection_controller.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>

#include "context/device_context.h"
#include "link/link.h"
#include "protocol/report.h"

namespace v36 {

ConnectionController::ConnectionController(DeviceContext& ctx, Options options, QObject* parent)
    : QObject(parent),
      ctx_(ctx),
      options_(std::move(options)),
      sync_(ctx.store, ctx.link, ctx.dispatcher) {
    if (options_.syncTimings) sync_.setTimings(*options_.syncTimings);
    sync_.setSleeper([this](std::chrono::milliseconds ms) { interruptibleSleep(ms); });
    // The worker hands its completion to the GUI thread and waits until it
    // has been handled.
    sync_.setDoneHandler([this](SyncKind kind) {
        if (shuttingDown_.load()) return;
        QMetaObject::invokeMethod(
            this,
            [this, kind] {
                if (!shuttingDown_.load()) handleSyncDone(kind);
            },
            Qt::BlockingQueuedConnection);
    });
    auto lastPosted = std::make_shared<std::atomic<int>>(-1);
    sync_.setProgressHandler([this, lastPosted](SyncKind, int done, int total) {
        // About a hundred updates per run are plenty for the bar.
        const int step = total > 100 ? total / 100 : 1;
        const int last = lastPosted->load();
        if (done != 1 && done < total && last >= 0 && done - last < step && done > last) return;
        lastPosted->store(done == total ? -1 : done);
        QMetaObject::invokeMethod(
            this, [this, done, total] { emit syncProgress(done, total); }, Qt::QueuedConnection);
    });
    startTimer_.setSingleShot(true);
    connect(&startTimer_, &QTimer::timeout, this, &ConnectionController::connectAtStart);
    connect(&pollTimer_, &QTimer::timeout, this, &ConnectionController::pollLevels);
}

ConnectionController::~ConnectionController() {
    shutdown();
}

bool ConnectionController::connected() const {
    return ctx_.link.linkOpen.load();
}

void ConnectionController::start() {
    startPending_ = true;
    startTimer_.start(options_.startDelayMs);
}

void ConnectionController::finishStart() {
    if (!startPending_) return;
    startPending_ = false;
    emit startFinished();
}

void ConnectionController::interruptibleSleep(std::chrono::milliseconds ms) {
    std::unique_lock<std::mutex> lock(sleepMutex_);
    sleepCv_.wait_for(lock, ms, [this] { return shuttingDown_.load(); });
}

void ConnectionController::shutdown() {
    if (shuttingDown_.exchange(true)) return;
    startTimer_.stop();
    pollTimer_.stop();
    { std::lock_guard<std::mutex> lock(sleepMutex_); }
    sleepCv_.notify_all();
    delete watcherNotifier_;
    watcherNotifier_ = nullptr;
    watcher_.reset();
}

// --- Arrival and removal ---------------------------------------------------------------------

void ConnectionController::startWatching() {
    if (watcher_) return;
    QPointer<ConnectionController> self(this);
    std::string error;
    watcher_ = ctx_.watchHotplug(
        [self](const HotplugEvent& event) {
            // Delivered on the watcher's thread or from the socket notifier:
            // handled on the GUI thread, in order.
            QMetaObject::invokeMethod(
                qApp,
                [self, event] {
                    if (!self) return;
                    if (event.kind == HotplugEvent::Kind::Arrival) {
                        self->arrival(event.path);
                    } else {
                        self->removal(event.path);
                    }
                },
                Qt::QueuedConnection);
        },
        HotplugDelivery::FileDescriptor, &error);
    if (!watcher_) {
        ctx_.trace.write("hotplug: " + error + "\n");
        return;
    }
    if (watcher_->fd() >= 0) {
        watcherNotifier_ = new QSocketNotifier(watcher_->fd(), QSocketNotifier::Read, this);
        connect(watcherNotifier_, &QSocketNotifier::activated, this,
                [this] { watcher_->processEvents(); });
    }
}

void ConnectionController::listUnits() {
    UnitList list = ctx_.backend().listUnits(ctx_.trace);
    // A list that could not be read keeps the last one: the open unit is
    // still known by its link.
    if (list.ok()) units_ = std::move(list.units);
    emit unitsChanged();
}

int ConnectionController::openUnitIndex() const {
    if (!connected()) return -1;
    const std::string path = ctx_.link.devicePath();
    for (std::size_t i = 0; i < units_.size(); ++i)
        if (samePathIgnoringAsciiCase(units_[i].path, path)) return static_cast<int>(i);
    return -1;
}

UnitListing ConnectionController::openUnit() const {
    const int i = openUnitIndex();
    if (i >= 0) return units_[static_cast<std::size_t>(i)];
    UnitListing none;
    if (connected()) none.path = ctx_.link.devicePath();
    return none;
}

bool ConnectionController::openAndBegin(const std::string& path, int noticeMs) {
    const OpenResult opened = ctx_.openLink(path);
    if (!opened) {
        // A unit that is present but may not be opened is worth a word;
        // otherwise the window waits quietly for an arrival.
        if (opened.error == OpenError::PermissionDenied && !permissionShown_) {
            permissionShown_ = true;
            emit openFailed(QString::fromStdString(opened.path),
                            QString::fromStdString(opened.message));
        }
        return false;
    }
    emit unitsChanged();
    beginConnection(noticeMs);
    return true;
}

void ConnectionController::connectAtStart() {
    startTimer_.stop();
    startWatching();
    listUnits();
    // The unit last used, when it is attached and its serial tells it from
    // the others; else the first that opens.
    std::string path;
    if (!preferredSerial_.empty()) {
        int matches = 0;
        for (const UnitListing& unit : units_) {
            if (unit.serial == preferredSerial_) {
                path = unit.path;
                ++matches;
            }
        }
        if (matches != 1) path.clear();
    }
    if (!path.empty() && openAndBegin(path, 5000)) return;
    if (openAndBegin({}, 5000)) return;
    finishStart();
}

void ConnectionController::arrival(const std::string& path) {
    if (shuttingDown_.load()) return;
    listUnits();
    if (connected() || switching_) {
        // The open unit keeps the window; the new one waits in the list.
        for (const UnitListing& unit : units_) {
            if (samePathIgnoringAsciiCase(unit.path, path)) {
                emit unitArrived(
                    QString::fromStdString(unit.serial.empty() ? unit.path : unit.serial));
                return;
            }
        }
        return;
    }
    // With none open the unit that arrived is opened (or, failing that, the
    // first that opens).
    if (!path.empty() && openAndBegin(path, 4000)) return;
    openAndBegin({}, 4000);
}

void ConnectionController::removal(const std::string& path) {
    ctx_.trace.write("removed!\n");
    const bool open = ctx_.handleRemoval(path);
    listUnits();
    if (!open) return;
    // A question about offline edits still open has no unit to answer for.
    choosing_ = false;
    pollTimer_.stop();
    emit unitRemoved();
}

bool ConnectionController::switchTo(const std::string& path) {
    if (shuttingDown_.load() || switching_ || syncing() || choosing_) return false;
    const auto attached = std::find_if(units_.begin(), units_.end(), [&](const UnitListing& u) {
        return samePathIgnoringAsciiCase(u.path, path);
    });
    if (attached == units_.end()) return false;
    if (connected() && samePathIgnoringAsciiCase(ctx_.link.devicePath(), path)) return false;
    const std::string chosen = attached->path;
    if (!connected()) {
        refused_ = false;
        return openAndBegin(chosen, 4000);
    }
    // The goodbye and the close wait on the link: the writer does them after
    // what was posted before; then the chosen unit is opened here.
    switching_ = true;
    pollTimer_.stop();
    unread_ = false;
    pushAfterPull_.reset();
    defaultMode_.clear();
    DeviceContext& ctx = ctx_;
    QPointer<ConnectionController> self(this);
    ctx_.editor.post([&ctx, self, chosen](Senders& s) {
        s.sendCommand({cmd::kDisconnect, -1});
        ctx.closeLink();
        QMetaObject::invokeMethod(
            qApp,
            [self, chosen] {
                if (!self) return;
                self->switching_ = false;
                if (self->shuttingDown_.load()) return;
                self->refused_ = false;
                if (!self->openAndBegin(chosen, 4000)) {
                    // It went in the meantime: the window is without a unit.
                    self->listUnits();
                    emit self->unitRemoved();
                }
            },
            Qt::QueuedConnection);
    });
    emit unitsChanged();
    return true;
}

void ConnectionController::beginConnection(int noticeMs) {
    refused_ = false;
    emit unitOpened(noticeMs);
    // Edits made without a unit would be replaced by its set: the user
    // chooses what becomes of them first (an answer that may come later).
    choosing_ = true;
    emit offlineChoiceNeeded();
}

void ConnectionController::choose(OfflineChoice choice, const ModeImage& image, int storeMode) {
    if (!choosing_) return;
    choosing_ = false;
    if (choice == OfflineChoice::Push) {
        pushAfterPull_ = image;
        pushAfterPullMode_ = storeMode;
    }
    if (connected()) startPull();
}

// --- Pull and push ------------------------------------------------------------------------------

void ConnectionController::startPull() {
    pollTimer_.stop();
    sync_.startPull();
    emit syncStarted(SyncKind::Pull);
}

void ConnectionController::pull() {
    if (!connected()) return;
    startPull();
}

void ConnectionController::push() {
    if (!connected()) return;
    pollTimer_.stop();
    sync_.startPush();
    emit syncStarted(SyncKind::Push);
}

bool ConnectionController::pushingOfflineEdits() const {
    return pushAfterPull_.has_value();
}

void ConnectionController::handleSyncDone(SyncKind kind) {
    if (kind == SyncKind::Pull) {
        const ReadReport report = sync_.lastPull();
        unread_ = false;
        if (report.status == ReadReport::Status::Closed) {
            emit syncFinished(kind, Outcome::Closed);
            finishStart();
            return;
        }
        if (report.status == ReadReport::Status::NoAnswer ||
            report.status == ReadReport::Status::Garbled ||
            report.status == ReadReport::Status::Incomplete) {
            // Nothing of a half-read unit is taken: the store keeps what it
            // had, and the window asks whether to read again.
            unread_ = true;
            emit syncFinished(kind, Outcome::Unread);
            finishStart();
            return;
        }
    }
    if (!identityAccepted(ctx_.store)) {
        const Outcome outcome = modelMatches(ctx_.store.deviceModel.get()) ? Outcome::WrongProtocol
                                                                           : Outcome::WrongModel;
        // A refused unit takes no pending mode and no offline edits: they
        // must not reach the next unit that is accepted by mistake.
        defaultMode_.clear();
        pushAfterPull_.reset();
        refused_ = true;
        disconnectUnit();
        emit syncFinished(kind, outcome);
        finishStart();
        return;
    }
    // The file's mode is stored once the file has reached the unit: a pull
    // that was still running when the file was loaded finishes first and
    // must not store the unit's old set into that mode.
    const int pending = defaultMode_.pendingStoreMode;
    if (pending != -1 && kind == SyncKind::Push) {
        defaultMode_.clear();
        DefaultModeState state;
        state.pendingStoreMode = pending;
        ctx_.editor.post([state](Senders& s) mutable { state.storeAfterPush(s); });
    }
    bool pushing = false;
    if (kind == SyncKind::Pull && pushAfterPull_) {
        // The unit is known now: the edits made without it go to it.
        applyModeImage(ctx_.store, *pushAfterPull_);
        defaultMode_.pendingStoreMode = pushAfterPullMode_;
        sync_.startPush();
        pushing = true;
    }
    emit syncFinished(kind, Outcome::Accepted);
    if (kind == SyncKind::Push && pushAfterPull_) {
        pushAfterPull_.reset();
        emit offlineEditsPushed();
    }
    if (pushing) {
        emit syncStarted(SyncKind::Push);
    } else if (connected() && !refused_) {
        pollTimer_.start(options_.levelPollMs);
    }
    if (!pushing) finishStart();
}

void ConnectionController::disconnectUnit() {
    pollTimer_.stop();
    unread_ = false;
    pushAfterPull_.reset();
    if (!connected()) return;
    // The goodbye and the close wait on the link: the writer does them, after
    // what was posted before.
    ctx_.store.liveStatus.fill(0);
    DeviceContext& ctx = ctx_;
    ctx_.editor.post([&ctx](Senders& s) {
        s.sendCommand({cmd::kDisconnect, -1});
        ctx.closeLink();
    });
}

void ConnectionController::pollLevels() {
    if (!ctx_.link.pollingEnabled.load() || !connected() || !levelPollEnable_) return;
    // One poll at a time: a silent unit must not pile them up.
    if (pollOutstanding_->exchange(true)) return;
    auto outstanding = pollOutstanding_;
    ctx_.editor.post([outstanding](Senders& s) {
        s.sendCommand({cmd::kQueryStatus, -1});
        outstanding->store(false);
    });
}

}  // namespace v36
