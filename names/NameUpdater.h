#pragma once
// The polite rules, kept for every name across checks: a name is updated only when its service
// last accepted other addresses (or never any, or its settings changed since); a name the service
// refused stays stopped until its settings change; a service in trouble is left alone for as long
// as it asked. Each update ends in one line for the log. Platform-free.
//
// Threads: one thread (the one that publishes) calls Update; the waits are kept here, in memory,
// so a restart of the program may try a waiting name once more before its wait is over.

#include "names/DnsName.h"
#include "names/ServiceClients.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace tovra {

class NameUpdater {
public:
    struct Report {
        std::string line;           // empty when there is nothing to say (the program is closing)
        bool failed = false;        // the name is not current: stopped, waiting, or misconfigured
        bool recordChanged = false; // lastAddress, lastIpv6 or stopped changed: store them
    };
    // A time in seconds (any epoch) as the log shows it, for "will retry at".
    using TimeText = std::function<std::string(std::int64_t seconds)>;

    explicit NameUpdater(TimeText timeText);

    // Updates `name` to `addresses` if the rules allow, recording what the service accepted or
    // the answer that stopped it in `name`. nowSeconds: the same clock as timeText's.
    Report Update(DnsName& name, const NameAddresses& addresses, HttpTransport& transport,
                  std::int64_t nowSeconds);

private:
    TimeText timeText_;
    std::map<std::string, std::int64_t> retryAt_; // by the name's settings
};

} // namespace tovra
