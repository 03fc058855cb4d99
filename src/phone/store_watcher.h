#pragma once

#include <QObject>
#include <atomic>
#include <memory>

#include "protocol/param_store.h"

namespace v36 {

// The store's change notices on the GUI thread: a change on any thread (an
// edit, the read thread's answers, a pull) makes one queued `changed`
// signal, however many changes come before the GUI thread gets to it.
// Readers keep a StoreCursor and ask what changed since they last looked.
class StoreWatcher : public QObject {
    Q_OBJECT

  public:
    explicit StoreWatcher(ParamStore& store, QObject* parent = nullptr);
    ~StoreWatcher() override;

    ParamStore& store() { return store_; }

  signals:
    void changed();

  private:
    ParamStore& store_;
    int subscription_ = 0;
    // Set while a queued signal waits; shared with the store's wake so that
    // a late wake never touches a watcher that is gone.
    std::shared_ptr<std::atomic<bool>> queued_ = std::make_shared<std::atomic<bool>>(false);
};

// What a reader of the store has seen: the sequence number it last looked
// at. `take` moves it on and returns the old one.
class StoreCursor {
  public:
    StoreChanges::Seq seen() const { return seen_; }
    // Starts from now: earlier changes count as seen.
    void reset(const StoreChanges& changes) { seen_ = changes.latest(); }
    StoreChanges::Seq take(const StoreChanges& changes) {
        const StoreChanges::Seq old = seen_;
        seen_ = changes.latest();
        return old;
    }

  private:
    StoreChanges::Seq seen_ = 0;
};

}  // namespace v36
