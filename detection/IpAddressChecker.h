#pragma once
// The worker that finds the machine's IP address whenever the main window asks: from the IP echo
// sites, asked one after the other, or from the machine's own interfaces. It logs its progress,
// shows the busy tray icon while it works and hands the address to its owner.
//
// Threads: construction, RequestCheck, Start and Stop on the user-interface thread (RequestCheck
// from any thread); Run, the checks and every call to the owner on the checker's own thread. The
// only state they share is the request slot (CheckRequests, under its own lock), the request
// event that wakes the idle checker, and the stop event; the site list is read-only after
// construction. An idle checker sleeps on those two events alone, so it costs nothing between
// checks and takes a request or a stop up at once.
// Every blocking step of a web lookup is bounded by the lookup's deadline and by the stop event
// (InternetSession): the checker walks away from a step that hangs, so Stop(timeout) ends it
// within milliseconds whatever the sites do, and a step left behind in WinINet touches nothing of
// the checker's or its owner's.

#include "detection/CheckRequests.h"
#include "detection/CheckerOwner.h"
#include "detection/IpSite.h"
#include "framework/WorkerThread.h"

#include <memory>
#include <string>
#include <vector>

namespace tovra {

class CIpAddressChecker : public WorkerThread {
public:
    // How long one site may take before the next is asked. A lookup through a loopback echo site
    // takes 5 to 30 ms under Wine; 10 s leaves a slow real site ample room, while five dead ones
    // still cost under a minute, well inside the interval between timed checks.
    static constexpr DWORD kLookupDeadlineMs = 10000;

    // Create with std::make_shared (WorkerThread's rule). The first check runs as soon as the
    // thread starts if one was requested before Start().
    explicit CIpAddressChecker(std::shared_ptr<CheckerOwner> owner,
                               std::vector<IpSite> sites = DefaultIpSites(),
                               DWORD lookupDeadlineMs = kLookupDeadlineMs);

    // Asks for a check; an idle checker takes it up at once. A request made while a check
    // runs does not change that check; it makes one more check after it (see CheckRequests for
    // how several waiting requests combine).
    void RequestCheck(bool useWeb, bool displayOnly);

    const std::vector<IpSite>& Sites() const { return sites_; }

    // The local lookup: the address of the interface that reaches the internet (ChooseLocalAddress)
    // as dotted-decimal text, or empty. Logs nothing.
    static std::string FindLocalAddress();

protected:
    void Run() override;

private:
    // False when the stop came first.
    bool WaitForRequest() const;
    void FillSiteList();
    void RunOneCheck(CheckMode mode);
    void RestoreNormalIcon() noexcept;

    // The address that one site names, or empty: no answer, no 2xx answer, no address in it, no
    // answer within the deadline, or a stop meanwhile.
    std::string AskWebSite(const std::string& host, const std::string& path);
    // AskWebSite's work; throws (InternetError, mostly) for every way the exchange can fail.
    std::string FetchAddressPage(const std::string& host, const std::string& path);

    // Runs fn on the owner unless a stop has been requested; false when it did not run.
    template <typename Fn> bool Tell(Fn&& fn);

    const std::shared_ptr<CheckerOwner> owner_;
    const std::vector<IpSite> sites_;
    const DWORD lookupDeadlineMs_;
    CheckRequests requests_;
    const UniqueKernelHandle requestEvent_; // auto-reset: set by RequestCheck
};

} // namespace tovra
