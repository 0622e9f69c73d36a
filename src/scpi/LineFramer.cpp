#include "scpi/LineFramer.h"

namespace scpi {

void LineFramer::endLine() {
    if (discarding_) {
        discarding_ = false;
        handlers_.tooLong();
    } else {
        handlers_.line(pending_);
    }
    pending_.clear();
}

void LineFramer::feed(std::string_view bytes) {
    while (!bytes.empty() && !stopped_) {
        const size_t nl = bytes.find('\n');
        const std::string_view part = bytes.substr(0, nl);
        if (!discarding_) {
            pending_.append(part);
            // One byte over the limit may be the '\r' of a "\r\n".
            const bool overLimit = pending_.size() > kMaxLine + 1 ||
                                   (pending_.size() == kMaxLine + 1 && pending_.back() != '\r');
            if (overLimit) {
                discarding_ = true;
                pending_.clear();
            }
        }
        if (nl == std::string_view::npos) return;
        bytes.remove_prefix(nl + 1);
        endLine();
    }
}

void LineFramer::finish() {
    if (!stopped_ && (discarding_ || !pending_.empty())) endLine();
}

}  // namespace scpi
