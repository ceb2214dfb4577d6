#pragma once
// One place the detected address is published to: the page on the user's server, a DNS name. The
// posting worker hands every publisher the same Posting, one after the other, and each says how it
// went; the worker neither knows nor cares what a publisher does with it.
//
// Threads: Publish runs on the posting worker only, one posting at a time; it may block in the
// network, but every wait also waits on the context's stop event and ends at once when it is set.
// A publisher writes its own lines to the context's log (any thread may) and never touches a window.

#include "framework/TimeFormat.h"
#include "settings/Settings.h"
#include "upload/LogSink.h"
#include "upload/MyFtpUploader.h"
#include "upload/PageGenerator.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace tovra {

// What a posting publishes: the addresses the check found (IPv6 empty when the machine has none),
// when, and the settings as they were saved when the posting began.
struct Posting {
    std::string ipv4;
    std::string ipv6;
    LocalDateTime time;
    std::shared_ptr<const Settings> settings;
};

// A setting the user must correct before a publisher can work; the window takes the user to it.
enum class RefusedSetting { None, SiteAddress, SitePort };

struct Outcome {
    bool published = false;
    // Why not, in one line for the tray's tip; empty when published.
    std::string reason;
    RefusedSetting refused = RefusedSetting::None;

    static Outcome Success() { return {true, {}, RefusedSetting::None}; }
    static Outcome Failure(std::string why, RefusedSetting setting = RefusedSetting::None) {
        return {false, std::move(why), setting};
    }
};

class Publisher {
public:
    virtual ~Publisher() = default;
    virtual Outcome Publish(const Posting& posting) = 0;
    // A publisher that keeps its own record of what each target last accepted (the DNS names) is
    // also asked after a check that found the address unchanged, and its failure alone makes
    // nothing post again: it knows best when to try again.
    virtual bool FollowsEveryCheck() const { return false; }
};

// What every publisher is made with (CreatePublishers).
struct PublisherContext {
    // Stamps, orders, redacts and shows each line; returns at once.
    LogSink* log = nullptr;
    // Manual-reset, set when the program ends; owned by the worker, which outlives its publishers.
    HANDLE stop = nullptr;
    // Shows a box over the main window once the caller has returned: no publisher waits for the user.
    std::function<void(const char* text)> messageBox;
    // Where the page is generated and how long each of its upload's steps may take.
    PageGenerator pageGenerator;
    DWORD pageStepTimeoutMs = kUploadStepTimeoutMs;
};

} // namespace tovra
