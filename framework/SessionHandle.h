#pragma once
// A WinINet handle opened on a session (a connection, a request), held together with the state
// of the session that closes it. The session closes each of its handles exactly once: one that
// an abort or the session's own Close has closed already is left alone here, so a handle value
// that WinINet has since given to somebody else is never closed by mistake.
//
// Move-only. An empty one (default-constructed or moved from) owns nothing.

#include "framework/InternetError.h"

#include <windows.h>
#include <wininet.h>

#include <memory>

namespace tovra {

class InternetSessionState;

class SessionHandle {
public:
    SessionHandle() noexcept = default;
    // Takes `handle`, just opened on the session of `state`, into that session. Throws the
    // cancel error when the session was aborted meanwhile: closing its parent has then
    // disposed of the handle.
    SessionHandle(std::shared_ptr<InternetSessionState> state, HINTERNET handle);
    ~SessionHandle();
    SessionHandle(SessionHandle&& other) noexcept;
    SessionHandle& operator=(SessionHandle&& other) noexcept;
    SessionHandle(const SessionHandle&) = delete;
    SessionHandle& operator=(const SessionHandle&) = delete;

    // The handle while its session still owns it; null once it is closed, here or by the session.
    HINTERNET Live() const;
    // The session's state; null for an empty handle.
    const std::shared_ptr<InternetSessionState>& State() const noexcept { return state_; }

    void Close() noexcept;

private:
    std::shared_ptr<InternetSessionState> state_;
    HINTERNET handle_ = nullptr;
};

} // namespace tovra
