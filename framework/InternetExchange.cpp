#include "framework/InternetExchange.h"

#include <set>
#include <stdexcept>

namespace tovra {

// The servers that an exchange was given up on at its time-out and that still hold it.
struct BusyServers {
    std::mutex mutex;
    std::multiset<std::string> servers;

    static std::shared_ptr<BusyServers> Instance() {
        static const std::shared_ptr<BusyServers> instance = std::make_shared<BusyServers>();
        return instance;
    }
};

std::shared_ptr<InternetExchange> InternetExchange::Create(std::string server, Body body, LineSink log,
                                                           StatusText statusText) {
    return std::make_shared<InternetExchange>(std::move(server), std::move(body), std::move(log),
                                              std::move(statusText));
}

InternetExchange::InternetExchange(std::string server, Body body, LineSink log, StatusText statusText)
    : server_(std::move(server)), body_(std::move(body)), log_(std::move(log)),
      statusText_(std::move(statusText)), busy_(BusyServers::Instance()),
      news_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
    if (!news_)
        throw std::runtime_error("Cannot create an event.");
}

InternetExchange::Outcome InternetExchange::Perform(HANDLE stop, DWORD firstStepMs) {
    {
        std::lock_guard lock(busy_->mutex);
        if (busy_->servers.count(server_) != 0)
            return Outcome::ServerBusy;
    }
    {
        std::lock_guard lock(mutex_);
        stepEnd_ = Clock::now() + std::chrono::milliseconds(firstStepMs);
    }
    if (!Start())
        return Outcome::NoThread;
    for (;;) {
        Clock::time_point end;
        {
            std::lock_guard lock(mutex_);
            if (finished_)
                return Outcome::Finished;
            end = stepEnd_;
        }
        const long long left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        const HANDLE handles[2] = {news_.get(), stop};
        const DWORD woke =
            left <= 0 ? WAIT_TIMEOUT
                      : ::WaitForMultipleObjects(stop ? 2 : 1, handles, FALSE, static_cast<DWORD>(left));
        if (woke == WAIT_OBJECT_0)
            continue;
        // A stop, or a wait that failed: either way the caller must not wait on.
        const bool stopped = woke != WAIT_TIMEOUT;
        if (WalkAway(stopped))
            return stopped ? Outcome::Stopped : Outcome::TimedOut;
    }
}

bool InternetExchange::WalkAway(bool stopped) {
    std::lock_guard lock(mutex_);
    if (finished_ || (!stopped && Clock::now() < stepEnd_))
        return false;
    open_ = false;
    if (!stopped) {
        std::lock_guard busyLock(busy_->mutex);
        busy_->servers.insert(server_);
        markedBusy_ = true;
    }
    return true;
}

void InternetExchange::Run() {
    try {
        body_(*this);
    } catch (...) {
        // The body reports its own failures; whatever escapes still ends the exchange.
    }
    // Whatever the body left to us closes here, while this object is whole for its notifications.
    body_ = nullptr;
    std::lock_guard lock(mutex_);
    finished_ = true;
    if (markedBusy_) {
        std::lock_guard busyLock(busy_->mutex);
        busy_->servers.erase(busy_->servers.find(server_));
    }
    ::SetEvent(news_.get());
}

bool InternetExchange::BeginStep(DWORD boundMs) {
    std::lock_guard lock(mutex_);
    if (!open_)
        return false;
    stepEnd_ = Clock::now() + std::chrono::milliseconds(boundMs);
    ::SetEvent(news_.get());
    return true;
}

bool InternetExchange::Wanted() {
    std::lock_guard lock(mutex_);
    return open_;
}

void InternetExchange::Log(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (open_ && log_ && !line.empty())
        log_(line);
}

UniqueInternetHandle InternetExchange::OpenSession(const char* agent, DWORD accessType) {
    UniqueInternetHandle session(::InternetOpenA(agent, accessType, nullptr, nullptr, 0));
    if (!session)
        throw InternetError::FromLastError();
    if (statusText_)
        ::InternetSetStatusCallbackA(session.get(), &InternetExchange::StatusCallback);
    return session;
}

void CALLBACK InternetExchange::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                               DWORD length) {
    try {
        auto& exchange = *reinterpret_cast<InternetExchange*>(context);
        exchange.Log(exchange.statusText_(status, info, length));
    } catch (...) {
        // Nothing may unwind into WinINet.
    }
}

} // namespace tovra
