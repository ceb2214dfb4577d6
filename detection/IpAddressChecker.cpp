#include "detection/IpAddressChecker.h"

#include "detection/AddressScan.h"
#include "detection/InterfaceAddresses.h"
#include "detection/LocalAddressChoice.h"
#include "detection/PublicAddress.h"
#include "detection/SiteUrl.h"

#include <system_error>
#include <utility>

namespace tovra {
namespace {

std::string UnreachableLine(const std::string& address) {
    return std::string(UnreachableKind(FindFirstAddress(address))) +
           " that visitors from the internet cannot reach";
}

} // namespace

CIpAddressChecker::CIpAddressChecker(std::shared_ptr<CheckerOwner> owner, std::vector<IpSite> sites,
                                     DWORD lookupDeadlineMs, Ipv6Source findIpv6)
    : owner_(std::move(owner)), sites_(std::move(sites)), lookup_(StopEvent(), lookupDeadlineMs),
      findIpv6_(findIpv6), requestEvent_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    if (!requestEvent_)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateEvent");
}

void CIpAddressChecker::RequestCheck(bool useWeb, bool displayOnly) {
    // The slot first, then the wake-up: a checker woken by this event always finds the request.
    // A request the running loop takes before it waits leaves the event set, which costs one
    // empty pass and nothing else.
    requests_.Request(CheckMode{useWeb, displayOnly});
    ::SetEvent(requestEvent_.get());
}

void CIpAddressChecker::RequestPost() {
    requests_.RequestPost();
    ::SetEvent(requestEvent_.get());
}

bool CIpAddressChecker::WaitForRequest() const {
    const HANDLE handles[] = {StopEvent(), requestEvent_.get()};
    return ::WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
}

template <typename Fn> bool CIpAddressChecker::Tell(Fn&& fn) {
    if (StopRequested())
        return false;
    fn(*owner_);
    return true;
}

void CIpAddressChecker::Run() {
    // An exception from the owner (one that is closing, say) ends what it interrupted, never the
    // thread: a checker that died quietly would leave the program running without ever posting.
    // A request made before Start() is waiting already: the first pass takes it without a wait.
    do {
        if (requests_.TakePost()) {
            try {
                Tell([](CheckerOwner& owner) { owner.PostStoredAddress(); });
            } catch (const std::exception&) {
            }
        }
        if (const std::optional<CheckMode> mode = requests_.Take()) {
            try {
                RunOneCheck(*mode);
            } catch (const std::exception&) {
                EndBusy();
            }
        }
    } while (WaitForRequest());
}

void CIpAddressChecker::EndBusy() noexcept {
    try {
        Tell([](CheckerOwner& owner) { owner.SetBusy(false); });
    } catch (const std::exception&) {
    }
}

void CIpAddressChecker::RunOneCheck(CheckMode mode) {
    if (!Tell([](CheckerOwner& owner) { owner.SetBusy(true); }))
        return;

    std::string address;
    if (mode.useWeb) {
        std::vector<IpSite> sites = sites_;
        if (!Tell([&](CheckerOwner& owner) {
                if (std::optional<std::vector<IpSite>> own = owner.SitesToAsk())
                    sites = std::move(*own);
            }))
            return;
        if (sites.empty())
            Tell([](CheckerOwner& owner) { owner.AppendLog(kNoSitesLine); });
        ProxyCredentials proxy;
        if (!Tell([&](CheckerOwner& owner) { proxy = owner.ProxySignIn(); }))
            return;
        for (const IpSite& site : sites) {
            // The URL is host and path alone for a plain HTTP site, as these lines always were.
            const std::string url = SiteUrl(site);
            if (!Tell(
                    [&](CheckerOwner& owner) { owner.AppendLog("Asking " + url + " for my IP Address..."); }))
                return;
            const LookupResult answer = lookup_.Ask(site, proxy);
            if (const std::string note = WebLookup::NoteLine(url, answer); !note.empty())
                Tell([&](CheckerOwner& owner) { owner.AppendLog(note); });
            address = answer.address;
            std::string line =
                address.empty() ? lookup_.FailureLine(url, answer) : url + " insists that I am " + address;
            if (!address.empty() && !IsPublicAddress(address)) {
                // Published, such an address would send every visitor nowhere: ask on instead.
                line = url + " named " + address + ", " + UnreachableLine(address) +
                       "; its answer was passed over.";
                address.clear();
            }
            if (!line.empty())
                Tell([&](CheckerOwner& owner) { owner.AppendLog(line); });
            if (!address.empty())
                break;
        }
    } else {
        address = FindLocalAddress();
        if (!address.empty())
            Tell([&](CheckerOwner& owner) { owner.AppendLog("Found Local IP Address of " + address); });
        // Local mode publishes what the interface has, as it always did (a LAN page may want
        // exactly that); the user is told once a check when it cannot serve visitors from outside.
        if (!address.empty() && !IsPublicAddress(address)) {
            const std::string line = address + " is " + UnreachableLine(address) + ".";
            Tell([&](CheckerOwner& owner) { owner.AppendLog(line); });
        }
    }

    // From the machine's own interfaces in either mode: a global IPv6 address is the public one,
    // and no echo site needs to be asked for it.
    const std::string ipv6Address = findIpv6_();
    if (!ipv6Address.empty())
        Tell([&](CheckerOwner& owner) { owner.AppendLog("Found IPv6 Address of " + ipv6Address); });

    Tell([&](CheckerOwner& owner) { owner.OnAddressDetected(address, ipv6Address, mode.displayOnly); });
    Tell([](CheckerOwner& owner) { owner.SetBusy(false); });
}

std::string CIpAddressChecker::FindLocalAddress() {
    const std::uint32_t address = ChooseLocalAddress(ReadInterfaceAddresses(), DefaultRouteInterface());
    return address == 0 ? std::string() : DottedQuadText(address);
}

} // namespace tovra
