#pragma once
// Tells when the machine's IPv4 addresses change: an event that the system sets on the next
// change (NotifyAddrChange), for a thread that waits on other things as well.
//
// Threads: one thread creates, waits on, re-arms and destroys the watch; the notification is
// I/O issued by that thread. Destruction cancels it and waits until the system has let go of the
// OVERLAPPED, which must not move or vanish while the request is pending.
// Where the system offers no notification (Wine accepts the request and never completes it), the
// event simply never fires.

#include "framework/Win32Handles.h"

#include <windows.h>

namespace tovra {

class AddressChangeWatch {
public:
    AddressChangeWatch();
    ~AddressChangeWatch();
    AddressChangeWatch(const AddressChangeWatch&) = delete;
    AddressChangeWatch& operator=(const AddressChangeWatch&) = delete;

    // Set when a change has been seen; null when no watch could be made.
    HANDLE Event() const { return event_.get(); }

    // Asks for the next change, after Event() has fired.
    void Rearm();

private:
    UniqueKernelHandle event_; // auto-reset
    OVERLAPPED overlapped_{};
    bool pending_ = false;
};

} // namespace tovra
