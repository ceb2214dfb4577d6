#include "detection/AddressChangeWatch.h"

#include <winsock2.h>
#include <iphlpapi.h>

namespace tovra {

AddressChangeWatch::AddressChangeWatch() : event_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    Rearm();
}

AddressChangeWatch::~AddressChangeWatch() {
    if (!pending_)
        return;
    // The system writes into overlapped_ when the request ends, so it must end before the member
    // goes: cancel, then wait for the completion the cancel causes.
    if (::CancelIPChangeNotify(&overlapped_))
        ::WaitForSingleObject(event_.get(), 1000);
}

void AddressChangeWatch::Rearm() {
    if (!event_)
        return;
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.get();
    HANDLE notification = nullptr; // owned by the system while the request is pending
    pending_ = ::NotifyAddrChange(&notification, &overlapped_) == ERROR_IO_PENDING;
}

} // namespace tovra
