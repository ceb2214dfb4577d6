#pragma once
// The posting worker: one thread with one queue of requests (a check that may post, a check that
// only shows, a post of the address held). A check finds the machine's IP address from the IP
// echo sites, asked one after the other, or from the machine's own interfaces; it logs its
// progress, says it is busy while it works and hands the address to its owner, which decides and
// publishes on this same thread before the next request is taken.
//
// Threads: construction, Start and Stop on the window thread, the requests from any thread; Run,
// the checks and every call to the owner on the worker's own thread. The only state they share is
// the request slot (CheckRequests, under its own lock), the request event that wakes the idle
// checker, and the stop event; each web check asks the owner for the sites as it starts. An idle checker
// sleeps on those two events alone, so it costs nothing between checks and takes a request or a stop up at
// once. A web lookup ends at its deadline or at the stop event (WebLookup), so Stop(timeout) ends the checker
// within milliseconds whatever the sites do.

#include "detection/CheckRequests.h"
#include "detection/CheckerOwner.h"
#include "detection/IpSite.h"
#include "detection/Ipv6Interfaces.h"
#include "detection/WebLookup.h"
#include "framework/WorkerThread.h"

#include <memory>
#include <string>
#include <vector>

namespace tovra {

class CIpAddressChecker : public WorkerThread {
public:
    static constexpr DWORD kLookupDeadlineMs = WebLookup::kDeadlineMs;

    // Logged by a web check that has no site to ask (the user removed them all).
    static constexpr char kNoSitesLine[] =
        "There is no IP echo site to ask: the list on the Advanced tab is empty.";

    // Where each check finds the machine's IPv6 address; tests hand in their own, so that what
    // they see does not depend on the machine's network.
    using Ipv6Source = std::string (*)();

    // Create with std::make_shared (WorkerThread's rule). The first check runs as soon as the
    // thread starts if one was requested before Start().
    explicit CIpAddressChecker(std::shared_ptr<CheckerOwner> owner,
                               std::vector<IpSite> sites = DefaultIpSites(),
                               DWORD lookupDeadlineMs = kLookupDeadlineMs,
                               Ipv6Source findIpv6 = &FindIpv6Address);

    // Asks for a check; an idle checker takes it up at once. A request made while a check
    // runs does not change that check; it makes one more check after it (see CheckRequests for
    // how several waiting requests combine).
    void RequestCheck(bool useWeb, bool displayOnly);
    // Asks for a post of the owner's address without a check (CheckerOwner::PostStoredAddress),
    // after the check under way if there is one.
    void RequestPost();

    // The local lookup: the address of the interface that reaches the internet (ChooseLocalAddress)
    // as dotted-decimal text, or empty. Logs nothing.
    static std::string FindLocalAddress();

protected:
    void Run() override;

private:
    // False when the stop came first.
    bool WaitForRequest() const;
    void RunOneCheck(CheckMode mode);
    void EndBusy() noexcept;

    // Runs fn on the owner unless a stop has been requested; false when it did not run.
    template <typename Fn> bool Tell(Fn&& fn);

    const std::shared_ptr<CheckerOwner> owner_;
    const std::vector<IpSite> sites_; // asked when the owner names no sites of its own
    const WebLookup lookup_;
    const Ipv6Source findIpv6_;
    CheckRequests requests_;
    const UniqueKernelHandle requestEvent_; // auto-reset: set by RequestCheck
};

} // namespace tovra
