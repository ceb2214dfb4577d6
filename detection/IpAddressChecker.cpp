#include "detection/IpAddressChecker.h"

#include "detection/AddressScan.h"
#include "detection/InterfaceAddresses.h"
#include "detection/LocalAddressChoice.h"
#include "detection/SiteUrl.h"
#include "resources/ResourceIds.h"

#include <utility>

namespace tovra {
namespace {

// How often the idle loop looks for a request.
constexpr DWORD kPollIntervalMs = 100;

} // namespace

CIpAddressChecker::CIpAddressChecker(std::shared_ptr<CheckerOwner> owner, std::vector<IpSite> sites,
                                     DWORD lookupDeadlineMs, Ipv6Source findIpv6)
    : owner_(std::move(owner)), sites_(std::move(sites)), lookup_(StopEvent(), lookupDeadlineMs),
      findIpv6_(findIpv6) {}

void CIpAddressChecker::RequestCheck(bool useWeb, bool displayOnly) {
    requests_.Request(CheckMode{useWeb, displayOnly});
}

void CIpAddressChecker::SetSites(std::vector<IpSite> sites) {
    const std::lock_guard<std::mutex> lock(sitesMutex_);
    sites_ = std::move(sites);
}

std::vector<IpSite> CIpAddressChecker::Sites() const {
    const std::lock_guard<std::mutex> lock(sitesMutex_);
    return sites_;
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
    do {
        if (const std::optional<CheckMode> mode = requests_.Take()) {
            try {
                RunOneCheck(*mode);
            } catch (const std::exception&) {
                RestoreNormalIcon();
            }
        }
    } while (!WaitForStop(kPollIntervalMs));
}

void CIpAddressChecker::RestoreNormalIcon() noexcept {
    try {
        Tell([](CheckerOwner& owner) { owner.SetIconById(IDI_TRAY_NORMAL); });
    } catch (const std::exception&) {
    }
}

void CIpAddressChecker::RunOneCheck(CheckMode mode) {
    if (!Tell([](CheckerOwner& owner) { owner.SetIconById(IDI_TRAY_BUSY); }))
        return;

    std::string address;
    if (mode.useWeb) {
        const std::vector<IpSite> sites = Sites();
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
            address = answer.address;
            const std::string line =
                address.empty() ? lookup_.FailureLine(url, answer) : url + " insists that I am " + address;
            if (!line.empty())
                Tell([&](CheckerOwner& owner) { owner.AppendLog(line); });
            if (!address.empty())
                break;
        }
    } else {
        address = FindLocalAddress();
        if (!address.empty())
            Tell([&](CheckerOwner& owner) { owner.AppendLog("Found Local IP Address of " + address); });
    }

    // From the machine's own interfaces in either mode: a global IPv6 address is the public one,
    // and no echo site needs to be asked for it.
    const std::string ipv6Address = findIpv6_();
    if (!ipv6Address.empty())
        Tell([&](CheckerOwner& owner) { owner.AppendLog("Found IPv6 Address of " + ipv6Address); });

    Tell([&](CheckerOwner& owner) { owner.OnAddressDetected(address, ipv6Address, mode.displayOnly); });
    Tell([](CheckerOwner& owner) { owner.SetIconById(IDI_TRAY_NORMAL); });
}

std::string CIpAddressChecker::FindLocalAddress() {
    const std::uint32_t address = ChooseLocalAddress(ReadInterfaceAddresses());
    return address == 0 ? std::string() : DottedQuadText(address);
}

} // namespace tovra
