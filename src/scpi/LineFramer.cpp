#include "scpi/LineFramer.h"

#include <utility>

namespace scpi {

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
}

void LineFramer::endLine() {
    if (discarding_) {
        discarding_ = false;
        handlers_.tooLong();
    } else {
        handlers_.line(pending_);
    }
    pending_.clear();
}

// The mark may arrive a byte at a time (a pipe); what is not the mark is text.
std::string_view LineFramer::skipMark(std::string_view bytes) {
    while (atStart_ && !bytes.empty()) {
        if (bytes.front() != kByteOrderMark[mark_.size()]) {
            atStart_ = false;
            const std::string seen = std::exchange(mark_, {});
            feed(seen);
            break;
        }
        mark_ += bytes.front();
        bytes.remove_prefix(1);
        if (mark_.size() == kByteOrderMark.size()) {
            atStart_ = false;
            mark_.clear();
        }
    }
    return atStart_ ? std::string_view() : bytes;
}

void LineFramer::feed(std::string_view bytes) {
    bytes = skipMark(bytes);
    while (!bytes.empty() && !stopped_) {
        const size_t nl = bytes.find('\n');
        const std::string_view part = bytes.substr(0, nl);
        if (textFile_ && part.find('\0') != std::string_view::npos) {
            stopped_ = true;
            handlers_.notText();
            return;
        }
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
    if (atStart_) {
        atStart_ = false;
        feed(std::exchange(mark_, {}));
    }
    if (stopped_ || (!discarding_ && pending_.empty())) return;
    if (textFile_) {
        stopped_ = true;
        handlers_.cutShort();
        return;
    }
    endLine();
}

}  // namespace scpi
