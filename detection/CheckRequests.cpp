#include "detection/CheckRequests.h"

namespace tovra {

void CheckRequests::Request(CheckMode mode) {
    std::lock_guard guard(lock_);
    if (pending_)
        mode.displayOnly = mode.displayOnly && mode_.displayOnly;
    mode_ = mode;
    pending_ = true;
}

std::optional<CheckMode> CheckRequests::Take() {
    std::lock_guard guard(lock_);
    if (!pending_)
        return std::nullopt;
    pending_ = false;
    return mode_;
}

bool CheckRequests::Pending() const {
    std::lock_guard guard(lock_);
    return pending_;
}

} // namespace tovra
