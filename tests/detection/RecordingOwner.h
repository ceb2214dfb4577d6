#pragma once
// A checker owner for tests: records every call in order, lets a test wait for a condition on the
// record with a deadline, and can hold the checker inside OnAddressDetected, as an upload would.

#include "detection/CheckerOwner.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <ostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tovra::test {

struct OwnerCall {
    enum class Kind { Log, Detected, Icon };
    Kind kind;
    std::string text;      // the log line, the address or the host
    int number = 0;        // the icon id, or 1 for a display-only result
    std::string ipv6 = {}; // the IPv6 address of a result

    bool operator==(const OwnerCall&) const = default;
};

void PrintTo(const OwnerCall& call, std::ostream* out);

OwnerCall Log(std::string line);
OwnerCall Detected(std::string address, bool displayOnly, std::string ipv6Address = {});
OwnerCall Icon(int id);

class RecordingOwner : public CheckerOwner {
public:
    void AppendLog(std::string_view line) override;
    void OnAddressDetected(const std::string& address, const std::string& ipv6Address,
                           bool displayOnly) override;
    void SetBusy(bool busy) override;
    std::optional<std::vector<IpSite>> SitesToAsk() override;

    // The sites of the checks from now on, in place of the checker's own.
    void SetSites(std::vector<IpSite> sites);

    std::vector<OwnerCall> Calls() const;
    std::vector<OwnerCall> Results() const; // the Detected calls only
    std::vector<std::string> LogLines() const;

    // True once `condition` holds for the calls so far; false when `timeout` passes first.
    bool WaitFor(const std::function<bool(const std::vector<OwnerCall>&)>& condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
    bool WaitForResults(std::size_t count,
                        std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;

    // While held, OnAddressDetected records its call and then waits for Release().
    void HoldResults();
    void Release();

    // The next OnAddressDetected records its call and then throws, as a closing window's would.
    void FailNextResult();

private:
    void Record(OwnerCall call);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<OwnerCall> calls_;
    bool hold_ = false;
    bool failNext_ = false;
    std::optional<std::vector<IpSite>> sites_;
};

} // namespace tovra::test
