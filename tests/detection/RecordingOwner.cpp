#include "tests/detection/RecordingOwner.h"

#include "resources/ResourceIds.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tovra::test {

void PrintTo(const OwnerCall& call, std::ostream* out) {
    static const char* const kNames[] = {"Log", "Detected", "Icon"};
    *out << kNames[static_cast<int>(call.kind)] << "(\"" << call.text << "\", " << call.number << ", \""
         << call.ipv6 << "\")";
}

OwnerCall Log(std::string line) {
    return {OwnerCall::Kind::Log, std::move(line)};
}
OwnerCall Detected(std::string address, bool displayOnly, std::string ipv6Address) {
    return {OwnerCall::Kind::Detected, std::move(address), displayOnly ? 1 : 0, std::move(ipv6Address)};
}
OwnerCall Icon(int id) {
    return {OwnerCall::Kind::Icon, {}, id};
}

void RecordingOwner::Record(OwnerCall call) {
    std::lock_guard guard(mutex_);
    calls_.push_back(std::move(call));
    changed_.notify_all();
}

void RecordingOwner::AppendLog(std::string_view line) {
    Record(Log(std::string(line)));
}

void RecordingOwner::OnAddressDetected(const std::string& address, const std::string& ipv6Address,
                                       bool displayOnly) {
    Record(Detected(address, displayOnly, ipv6Address));
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !hold_; });
    if (std::exchange(failNext_, false))
        throw std::runtime_error("the owner is closing");
}

std::optional<std::vector<IpSite>> RecordingOwner::SitesToAsk() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sites_;
}

void RecordingOwner::SetSites(std::vector<IpSite> sites) {
    std::lock_guard<std::mutex> lock(mutex_);
    sites_ = std::move(sites);
}

void RecordingOwner::SetBusy(bool busy) {
    Record(Icon(busy ? IDI_TRAY_BUSY : IDI_TRAY_NORMAL));
}

std::vector<OwnerCall> RecordingOwner::Calls() const {
    std::lock_guard guard(mutex_);
    return calls_;
}

std::vector<OwnerCall> RecordingOwner::Results() const {
    std::vector<OwnerCall> results;
    for (const OwnerCall& call : Calls())
        if (call.kind == OwnerCall::Kind::Detected)
            results.push_back(call);
    return results;
}

std::vector<std::string> RecordingOwner::LogLines() const {
    std::vector<std::string> lines;
    for (const OwnerCall& call : Calls())
        if (call.kind == OwnerCall::Kind::Log)
            lines.push_back(call.text);
    return lines;
}

bool RecordingOwner::WaitFor(const std::function<bool(const std::vector<OwnerCall>&)>& condition,
                             std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return condition(calls_); });
}

bool RecordingOwner::WaitForResults(std::size_t count, std::chrono::milliseconds timeout) const {
    return WaitFor(
        [count](const std::vector<OwnerCall>& calls) {
            return static_cast<std::size_t>(
                       std::count_if(calls.begin(), calls.end(), [](const OwnerCall& call) {
                           return call.kind == OwnerCall::Kind::Detected;
                       })) >= count;
        },
        timeout);
}

void RecordingOwner::HoldResults() {
    std::lock_guard guard(mutex_);
    hold_ = true;
}

void RecordingOwner::FailNextResult() {
    std::lock_guard guard(mutex_);
    failNext_ = true;
}

void RecordingOwner::Release() {
    std::lock_guard guard(mutex_);
    hold_ = false;
    changed_.notify_all();
}

} // namespace tovra::test
