#include "phone/store_watcher.h"

#include <QMetaObject>
#include <QPointer>

namespace v36 {

StoreWatcher::StoreWatcher(ParamStore& store, QObject* parent) : QObject(parent), store_(store) {
    QPointer<StoreWatcher> self(this);
    auto queued = queued_;
    subscription_ = store_.changes.subscribe([self, queued] {
        if (queued->exchange(true)) return;
        QMetaObject::invokeMethod(
            self.data(),
            [self, queued] {
                queued->store(false);
                if (self) emit self->changed();
            },
            Qt::QueuedConnection);
    });
}

StoreWatcher::~StoreWatcher() {
    store_.changes.unsubscribe(subscription_);
}

}  // namespace v36
