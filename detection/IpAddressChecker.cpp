#include "detection/IpAddressChecker.h"

#include "detection/AddressScan.h"
#include "detection/InterfaceAddresses.h"
#include "detection/LocalAddressChoice.h"
#include "resources/ResourceIds.h"

#include <system_error>
#include <utility>

namespace tovra {

CIpAddressChecker::CIpAddressChecker(std::shared_ptr<CheckerOwner> owner, std::vector<IpSite> sites,
                                     DWORD lookupDeadlineMs)
    : owner_(std::move(owner)), sites_(std::move(sites)), lookup_(StopEvent(), lookupDeadlineMs),
      requestEvent_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
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
    try {
        FillSiteList();
    } catch (const std::exception&) {
    }
    // A request made before Start() is waiting already: the first pass takes it without a wait.
    do {
        if (const std::optional<CheckMode> mode = requests_.Take()) {
            try {
                RunOneCheck(*mode);
            } catch (const std::exception&) {
                RestoreNormalIcon();
            }
        }
    } while (WaitForRequest());
}

void CIpAddressChecker::RestoreNormalIcon() noexcept {
    try {
        Tell([](CheckerOwner& owner) { owner.SetIconById(IDI_TRAY_NORMAL); });
    } catch (const std::exception&) {
    }
}

void CIpAddressChecker::FillSiteList() {
    Tell([](CheckerOwner& owner) { owner.ClearSiteList(); });
    for (const IpSite& site : sites_)
        Tell([&](CheckerOwner& owner) { owner.AddSiteToList(site.host); });
}

void CIpAddressChecker::RunOneCheck(CheckMode mode) {
    if (!Tell([](CheckerOwner& owner) { owner.SetIconById(IDI_TRAY_BUSY); }))
        return;

    std::string address;
    if (mode.useWeb) {
        for (const IpSite& site : sites_) {
            if (!Tell([&](CheckerOwner& owner) {
                    owner.AppendLog("Asking " + site.host + site.path + " for my IP Address...");
                }))
                return;
            address = lookup_.Ask(site).address;
            if (!address.empty()) {
                Tell([&](CheckerOwner& owner) {
                    owner.AppendLog(site.host + site.path + " insists that I am " + address);
                });
                break;
            }
        }
    } else {
        address = FindLocalAddress();
        if (!address.empty())
            Tell([&](CheckerOwner& owner) { owner.AppendLog("Found Local IP Address of " + address); });
    }

    Tell([&](CheckerOwner& owner) { owner.OnAddressDetected(address, mode.displayOnly); });
    Tell([](CheckerOwner& owner) { owner.SetIconById(IDI_TRAY_NORMAL); });
}

std::string CIpAddressChecker::FindLocalAddress() {
    const std::uint32_t address = ChooseLocalAddress(ReadInterfaceAddresses(), DefaultRouteInterface());
    return address == 0 ? std::string() : DottedQuadText(address);
}

} // namespace tovra
