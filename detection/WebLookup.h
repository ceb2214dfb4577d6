#pragma once
// One request to one IP echo site: a plain HTTP GET through the system's configured proxy, then
// the first address in the start of a 2xx page.
//
// It runs on a thread of its own so that the checker can give up on it at its deadline, or at
// stop, whatever the network does. Under Wine neither closing the handles nor WinINet's time-outs
// end every blocking step at once, so a lookup that is given up on is left to finish by itself:
// it owns everything it touches (the thread holds a reference to this object) and reaches no
// checker and no window.
//
// Threads: constructed, started, waited for and cancelled by the checker thread; Run and
// FetchAddressPage run on the lookup's own thread. The open internet handles are shared with the
// cancelling thread under lock_; the address is written before Finished() is signalled and read
// only after it.

#include "framework/Win32Handles.h"
#include "framework/WorkerThread.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace tovra {

class WebLookup : public WorkerThread {
public:
    // timeoutMs bounds each blocking exchange (connect, send, receive) where WinINet honours it;
    // on its own it does not bound the whole lookup, which is why the checker waits with a deadline.
    WebLookup(std::string host, std::string path, DWORD timeoutMs);

    // Manual-reset event, set when the lookup has ended, whether or not it found an address.
    HANDLE Finished() const { return finished_.get(); }

    // The address found, as a host-order number, 0 for none. Read only once Finished() is set.
    std::uint32_t Address() const { return address_; }

protected:
    void Run() override;

    // Closes the open handles: on Windows that ends a blocking WinINet call at once. Under Wine it
    // does not wake HttpSendRequestA; the receive time-out on the request ends it later.
    void OnStopRequested() override;

private:
    std::uint32_t FetchAddressPage();

    // Takes ownership of a newly opened handle, unless the lookup has been cancelled meanwhile
    // (then it is closed at once). Returns the handle to use, or null.
    HINTERNET Keep(UniqueInternetHandle& slot, HINTERNET handle);
    void SetTimeouts(HINTERNET handle) const;
    void CloseHandles();

    const std::string host_;
    const std::string path_;
    const DWORD timeoutMs_;
    UniqueKernelHandle finished_;
    std::uint32_t address_ = 0;

    std::mutex lock_;
    bool cancelled_ = false;          // guarded by lock_
    UniqueInternetHandle session_;    // guarded by lock_
    UniqueInternetHandle connection_; // guarded by lock_
    UniqueInternetHandle request_;    // guarded by lock_
};

} // namespace tovra
