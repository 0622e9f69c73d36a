#pragma once
// Announcements of the chip's state leave only once the port's lock is free:
// a slot may open a box, or wait for a thread, and a timed step waiting for
// that lock would stall. On the owner's thread an announcement made inside an
// operation runs when the outermost one has released the lock; from any other
// thread it is posted to the owner's thread.
#include "platform/HandOff.h"

#include <QThread>

#include <functional>
#include <vector>

namespace control {

class Notices {
public:
    explicit Notices(QObject* owner) : owner_(owner->thread()), mailbox_(owner) {}

    void later(std::function<void()> call) {
        if (QThread::currentThread() == owner_ && depth_ > 0) pending_.push_back(std::move(call));
        else mailbox_.post(std::move(call));
    }

    // Built before the lock is taken, so it ends after the lock is released.
    class Operation {
    public:
        explicit Operation(Notices& n) : n_(n), mine_(QThread::currentThread() == n.owner_) {
            if (mine_) ++n_.depth_;
        }
        ~Operation() {
            if (!mine_ || --n_.depth_ > 0) return;
            std::vector<std::function<void()>> due;
            due.swap(n_.pending_);
            for (auto& call : due) call();
        }
        Operation(const Operation&) = delete;
        Operation& operator=(const Operation&) = delete;

    private:
        Notices& n_;
        const bool mine_;
    };

private:
    QThread* const owner_;
    platform::Mailbox mailbox_;
    // Touched on the owner's thread only.
    int depth_ = 0;
    std::vector<std::function<void()>> pending_;
};

}  // namespace control
