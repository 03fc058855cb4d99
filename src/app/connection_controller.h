#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/backend.h"
#include "protocol/default_mode.h"
#include "protocol/mode_file.h"
#include "protocol/sync.h"

class QSocketNotifier;

namespace v36 {

class DeviceContext;

// The connection to the unit, without a widget: the attached units and the
// one open among them, opening at start (the unit last used first) and on
// arrival, a switch to another attached unit, closing on removal, the pull and push with their
// outcome, the question of what becomes of edits made without a unit, and the level poll. The
// window observes it through its signals and answers its question; nothing here waits in a nested
// event loop.
class ConnectionController : public QObject {
    Q_OBJECT

  public:
    struct Options {
        int startDelayMs = 250;
        int levelPollMs = 300;
        std::optional<SyncTimings> syncTimings;
    };
    // How a pull or push ended.
    enum class Outcome {
        Accepted,       // the unit is a V36 of protocol 12 and the store holds its state
        WrongModel,     // the unit told another model
        WrongProtocol,  // the right model speaking another protocol
        Unread,         // the unit could not be read whole: the store keeps what it had
        Closed,         // the unit went while it was read
    };
    // What becomes of edits made without a unit when one arrives.
    enum class OfflineChoice { Saved, Push, Discard };

    ConnectionController(DeviceContext& ctx, Options options, QObject* parent = nullptr);
    ~ConnectionController() override;

    // The first connection, once the start delay has passed; from then on
    // the arrival and removal of units.
    void start();
    // A unit arrived at `path` (empty: somewhere). With a unit open it only
    // joins the list: the open unit keeps the window.
    void arrival(const std::string& path = {});
    void removal(const std::string& path);

    // --- Several units -------------------------------------------------------
    // The units attached now, sorted by path, as last listed.
    const std::vector<UnitListing>& units() const { return units_; }
    // The place of the open unit in units(), or -1.
    int openUnitIndex() const;
    // The open unit's listing (empty when none is open).
    UnitListing openUnit() const;
    // The unit (by its USB serial number) to open at start when it is attached.
    void setPreferredSerial(std::string serial) { preferredSerial_ = std::move(serial); }
    // Lets the open unit go and opens the one at `path`; its pull follows as
    // for an arrival (edits made without a unit are asked about first).
    // False, with nothing changed, when it is the open unit, is not attached,
    // or a pull, a push or the question is under way.
    bool switchTo(const std::string& path);
    bool switching() const { return switching_; }

    // A pull (a recall, a reset of the unit) or a push of the store (a
    // loaded file) with the sync shown.
    void pull();
    void push();
    // The answer to offlineChoiceNeeded. With Push, `image` is the set to
    // push once the unit is read and `storeMode` the memory mode its file
    // names (-1 for none).
    void choose(OfflineChoice choice, const ModeImage& image = {}, int storeMode = -1);
    // The end of a pull or push, on the GUI thread while the worker waits:
    // the unit accepted (the offline edits follow, the poll starts) or
    // refused (nothing pending is kept, the unit is let go).
    void handleSyncDone(SyncKind kind);
    // A refused unit: the goodbye and the close, on the writer thread.
    void disconnectUnit();
    // Closes the link and ends the workers (the window is closing).
    void shutdown();

    bool connected() const;
    bool syncing() const { return sync_.busy(); }
    bool refused() const { return refused_; }
    // The last pull did not read the unit whole: nothing of it was taken.
    bool unread() const { return unread_; }
    bool waitingForChoice() const { return choosing_; }
    // From the choice to push the edits made without a unit until they
    // reached it: the pull before the push keeps the history.
    bool pushingOfflineEdits() const;
    bool levelPollRunning() const { return pollTimer_.isActive(); }
    // The user's switch of the level poll (the remote-learning dialog pauses it).
    bool levelPollEnable() const { return levelPollEnable_; }
    void setLevelPollEnable(bool on) { levelPollEnable_ = on; }

    SyncWorker& sync() { return sync_; }
    // The file whose name picks a memory mode to store after the push.
    DefaultModeState& defaultMode() { return defaultMode_; }

  signals:
    // The first connection attempt is over, the unit read when there is one
    // (a file named at start may go to it now). Once.
    void startFinished();
    // A unit was opened; `noticeMs` is how long the notice shows.
    void unitOpened(int noticeMs);
    // A unit is present but could not be opened (the reason for the user).
    void openFailed(const QString& path, const QString& message);
    // Edits made without a unit are unsaved: answer with choose().
    void offlineChoiceNeeded();
    void syncStarted(SyncKind kind);
    void syncProgress(int done, int total);
    // A pull or push ended (on the GUI thread, while the worker waits).
    void syncFinished(SyncKind kind, Outcome outcome);
    // The edits made without a unit reached the unit that arrived.
    void offlineEditsPushed();
    // The open unit went away.
    void unitRemoved();
    // The list of attached units changed (an arrival, a removal, a switch).
    void unitsChanged();
    // A unit arrived while another is open: it waits in the list.
    void unitArrived(const QString& name);

  private:
    void startWatching();
    void listUnits();
    // Opens the unit at `path` (empty: the first that opens) and begins its
    // connection; a permission problem is shown once.
    bool openAndBegin(const std::string& path, int noticeMs);
    void connectAtStart();
    void beginConnection(int noticeMs);
    void startPull();
    void pollLevels();
    void interruptibleSleep(std::chrono::milliseconds ms);
    void finishStart();

    DeviceContext& ctx_;
    Options options_;
    SyncWorker sync_;
    DefaultModeState defaultMode_;

    QTimer startTimer_;
    QTimer pollTimer_;
    std::unique_ptr<HotplugWatcher> watcher_;
    QSocketNotifier* watcherNotifier_ = nullptr;
    std::shared_ptr<std::atomic<bool>> pollOutstanding_ =
        std::make_shared<std::atomic<bool>>(false);

    bool startPending_ = false;
    bool refused_ = false;
    bool unread_ = false;
    bool permissionShown_ = false;
    bool choosing_ = false;
    bool levelPollEnable_ = true;
    bool switching_ = false;
    std::vector<UnitListing> units_;
    std::string preferredSerial_;
    // The edits made without a unit, pushed once the arrived unit is read.
    std::optional<ModeImage> pushAfterPull_;
    int pushAfterPullMode_ = -1;

    // Shutdown: the worker's sleeps end at once, completions are not handed
    // to the GUI any more.
    std::atomic<bool> shuttingDown_{false};
    std::mutex sleepMutex_;
    std::condition_variable sleepCv_;
};

}  // namespace v36
