#include "framework/SessionHandle.h"

#include "framework/InternetSessionState.h"

#include <utility>

namespace tovra {

SessionHandle::SessionHandle(std::shared_ptr<InternetSessionState> state, HINTERNET handle)
    : state_(std::move(state)) {
    if (!state_ || !state_->Adopt(handle))
        throw InternetError::Cancelled();
    handle_ = handle;
}

SessionHandle::~SessionHandle() {
    Close();
}

SessionHandle::SessionHandle(SessionHandle&& other) noexcept
    : state_(std::move(other.state_)), handle_(std::exchange(other.handle_, nullptr)) {}

SessionHandle& SessionHandle::operator=(SessionHandle&& other) noexcept {
    if (this != &other) {
        Close();
        state_ = std::move(other.state_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

HINTERNET SessionHandle::Live() const {
    return state_ && state_->Owns(handle_) ? handle_ : nullptr;
}

void SessionHandle::Close() noexcept {
    if (state_ && handle_ != nullptr)
        state_->Close(handle_);
    handle_ = nullptr;
}

} // namespace tovra
