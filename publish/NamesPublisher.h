#pragma once
// The DNS names: after every check that found an address, each stored name whose service last
// accepted other addresses is updated (NameUpdater's rules), with one line per name. The list is
// read from the registry at each posting, so a saved edit counts from the next check and what
// the services accepted is written back beside each name.
//
// Unlike the page, the names keep their own record of what each service has, so the cycle asks
// them after every check (FollowsEveryCheck), and their failure makes nothing else post again: a
// name that is stopped or waiting shows as a failed posting until it is fixed or its wait is over.

#include "names/DnsNameStore.h"
#include "names/NameUpdater.h"
#include "names/WinHttpsTransport.h"
#include "publish/Publisher.h"

#include <string>
#include <vector>

namespace tovra {

class NamesPublisher final : public Publisher {
public:
    explicit NamesPublisher(const PublisherContext& context);

    Outcome Publish(const Posting& posting) override;
    bool FollowsEveryCheck() const override { return true; }

private:
    bool Stopping() const;

    LogSink& log_;
    const HANDLE stop_;
    const DnsNameStore store_;
    WinHttpsTransport transport_;
    NameUpdater updater_;
    std::vector<std::string> damagedLines_; // said once, until the list changes
};

} // namespace tovra
