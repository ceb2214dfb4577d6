#pragma once
// What the address checker reaches outside itself: the log, the result, the posts it is asked to
// run and the busy state. The posting cycle provides it.
//
// Threads: every call comes on the checker's own thread, one at a time, and the checker waits
// for each to return before it goes on. An implementation that touches windows carries the call
// to their thread itself (UiInvoker).
// Lifetime: the checker co-owns its owner (std::shared_ptr), so even a checker thread that outlives
// a timed-out stop never reaches freed memory; it makes no call at all once its stop is requested.
// An implementation that forwards to a window must still refuse calls once that window is closing
// (a closed UiInvoker does), because a call may already be under way when the stop comes.

#include "detection/IpSite.h"
#include "detection/WebLookup.h"

#include <optional>
#include <vector>

#include <string>
#include <string_view>

namespace tovra {

class CheckerOwner {
public:
    virtual ~CheckerOwner() = default;

    // One status line, without time stamp or line end.
    virtual void AppendLog(std::string_view line) = 0;

    // The result of one check: dotted-decimal text, or empty when nothing was found, and the
    // machine's global IPv6 address, or empty when it has none. With displayOnly the addresses
    // are only shown; otherwise the owner decides whether to post, and may take as long as an
    // upload does before it returns (the busy icon stays up meanwhile).
    virtual void OnAddressDetected(const std::string& address, const std::string& ipv6Address,
                                   bool displayOnly) = 0;

    // The sign-in for the system's proxy, read at the start of every web check; none by default.
    virtual ProxyCredentials ProxySignIn() { return {}; }

    // The sites a web check asks, in order, read as it starts; nothing for the checker's own list.
    virtual std::optional<std::vector<IpSite>> SitesToAsk() { return std::nullopt; }

    // Posts the address the owner holds, without a check (RequestPost).
    virtual void PostStoredAddress() {}

    // True while a check runs.
    virtual void SetBusy(bool busy) = 0;
};

} // namespace tovra
