#include "detection/CheckRequests.h"

#include <utility>

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

void CheckRequests::RequestPost() {
    std::lock_guard guard(lock_);
    postPending_ = true;
}

bool CheckRequests::TakePost() {
    std::lock_guard guard(lock_);
    return std::exchange(postPending_, false);
}

} // namespace tovra
