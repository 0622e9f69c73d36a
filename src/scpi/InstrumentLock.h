#pragma once
// Exclusive use of the instrument, taken by one VXI-11 link (device_lock).
// While it is held, no other client's commands run: other links wait or get
// an error, raw-socket connections keep their lines until it is released.
// Lives on the event loop's thread, as both servers do.
#include <functional>
#include <utility>
#include <vector>

namespace scpi {

class InstrumentLock {
public:
    // who: a link id (> 0); 0 is "no link", e.g. a raw-socket connection.
    bool heldByOther(int who) const { return owner_ != 0 && owner_ != who; }
    bool heldBy(int who) const { return owner_ != 0 && owner_ == who; }
    bool take(int who) {
        if (heldByOther(who)) return false;
        owner_ = who;
        return true;
    }
    void release(int who) {
        if (!heldBy(who)) return;
        owner_ = 0;
        for (size_t i = 0; i < released_.size(); ++i) released_[i]();
    }
    void onRelease(std::function<void()> f) { released_.push_back(std::move(f)); }

private:
    int owner_ = 0;
    std::vector<std::function<void()>> released_;
};

}  // namespace scpi
