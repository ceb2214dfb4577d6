#pragma once
// The posting worker's requests: what the next check should do, and whether the stored address
// is to be posted without a check ("Post IP now" in the main window).
//
// Threads: the requests from any thread, the takes from the worker; one small lock guards the
// fields. A check works only with the mode it took, so a request that arrives while it runs
// neither changes it nor is lost: it waits here for the next check.

#include <mutex>
#include <optional>

namespace tovra {

struct CheckMode {
    bool useWeb = true;       // ask the IP echo sites (true) or the local interfaces (false)
    bool displayOnly = false; // show the result only; no posting decision follows
};

class CheckRequests {
public:
    // Several requests before the next check make one check. The latest request's source of the
    // address wins, but a request that may post is never turned into a display-only one by a later
    // display-only request: the posting cycle relies on a timed check that should upload not being
    // dropped because the user clicked a radio button meanwhile.
    void Request(CheckMode mode);

    // The mode of the waiting request, which is thereby consumed; nothing when none waits.
    std::optional<CheckMode> Take();

    // Presses made before the worker takes the first make one post.
    void RequestPost();
    bool TakePost();

private:
    std::mutex lock_;
    bool pending_ = false;
    bool postPending_ = false;
    CheckMode mode_;
};

} // namespace tovra
