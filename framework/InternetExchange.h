#pragma once
// One network exchange (a site's lookup with its redirects; an upload from the session's open
// through the store) run on a helper thread of its own, which makes plain blocking WinINet calls
// and owns every handle it opens. Under Wine a blocked WinINet call can be neither timed out
// reliably nor woken by closing its handles from another thread, so the caller does not wait for
// WinINet: it waits for the exchange.
//
// Threads: the caller calls Perform once and waits there for the first of: the body's end, the
// stop event, the end of the step under way (each BeginStep restarts that bound). The body runs
// on the helper and reaches the caller only through Log, BeginStep and the status lines, all
// behind one gate. At a stop or a time-out the caller closes the gate under its lock and walks
// away: from then on the helper's lines are dropped and BeginStep answers false, so it touches
// nothing of its caller's, and it closes its handles when WinINet lets it go. A time-out (never a
// stop) leaves the server busy until then, and Perform refuses a busy server at once: a server
// that trickles for ever costs one thread and one connection however often it is asked.
// Handles opened with Context() must be closed while the exchange object lives (by the body, or
// by a caller that keeps the exchange after Finished).

#include "framework/InternetError.h"
#include "framework/Win32Handles.h"
#include "framework/WorkerThread.h"

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tovra {

struct BusyServers;

using UniqueInternetHandle = UniqueHandle<NullIsEmpty<HINTERNET, ::InternetCloseHandle>>;

class InternetExchange : public WorkerThread {
public:
    enum class Outcome { Finished, Stopped, TimedOut, ServerBusy, NoThread };
    using Body = std::function<void(InternetExchange&)>;
    using LineSink = std::function<void(std::string_view line)>;
    // The log line of one status notification; empty for none. Must not touch the caller's state.
    using StatusText = std::function<std::string(DWORD status, const void* info, DWORD length)>;

    // server: "host:port", the key of the busy list. log receives Log's lines and the status
    // lines while the gate is open; both may be empty.
    static std::shared_ptr<InternetExchange> Create(std::string server, Body body, LineSink log = {},
                                                    StatusText statusText = {});

    // Caller: starts the body and waits; firstStepMs bounds the exchange until its first
    // BeginStep. stop (manual-reset, may be null) ends the wait at once.
    Outcome Perform(HANDLE stop, DWORD firstStepMs);

    // Helper: a step begins that may take boundMs. False once the caller has walked away: the
    // body then returns without starting the step.
    bool BeginStep(DWORD boundMs);
    // Helper: whether the caller still waits, without starting a step.
    bool Wanted();
    // Helper, or a caller closing handles it kept: a line for the log while the gate is open.
    void Log(std::string_view line);

    // InternetOpenA with the status callback installed when there is a StatusText. Throws
    // InternetError.
    UniqueInternetHandle OpenSession(const char* agent, DWORD accessType);
    // The context to open connections and requests with, so that their notifications come here.
    DWORD_PTR Context() noexcept { return reinterpret_cast<DWORD_PTR>(this); }

    // Public for make_shared only; use Create.
    InternetExchange(std::string server, Body body, LineSink log, StatusText statusText);

protected:
    void Run() override;

private:
    using Clock = std::chrono::steady_clock;
    static void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD length);
    // Closes the gate, unless the body has finished or a step has just begun.
    bool WalkAway(bool stopped);

    const std::string server_;
    Body body_;
    const LineSink log_;
    const StatusText statusText_;
    // Shared, so that a helper ending while the process exits still finds it whole.
    const std::shared_ptr<BusyServers> busy_;
    const UniqueKernelHandle news_; // auto-reset: a step began or the body ended
    std::mutex mutex_;              // the gate: everything below, and every call of log_
    bool open_ = true;
    bool finished_ = false;
    bool markedBusy_ = false;
    Clock::time_point stepEnd_;
};

} // namespace tovra
