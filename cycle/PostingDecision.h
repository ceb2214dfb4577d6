#pragma once
// Whether a finished detection leads to an upload. The posting worker's own: it decides and
// publishes on one thread.

#include <string_view>

namespace tovra {

inline constexpr std::string_view kNothingDetectedLine = "No IP Address could be detected.";
inline constexpr std::string_view kUnchangedLine =
    "Detected IP Address hasn't changed, and Force Upload was not turned on.";

// What a check found: the IPv4 address (dotted) and the IPv6 one; either may be empty.
struct AddressPair {
    std::string_view ipv4 = {};
    std::string_view ipv6 = {};
};

class PostingDecision {
public:
    enum class Outcome {
        NothingDetected, // keep what is shown and published; log kNothingDetectedLine
        DisplayOnly,     // show the address, never post
        Unchanged,       // show the address; log kUnchangedLine
        Post,            // show the address and post it
    };

    // previous is the pair shown before this detection. A change of either address posts; an
    // IPv6 address that came or went is a change too, so the page never links to an address the
    // machine no longer has. A detection without an IPv4 address never replaces anything, so a
    // failed lookup cannot publish a page without an address over a good one.
    Outcome Decide(AddressPair previous, AddressPair detected, bool displayOnly, bool forcePost) const;

    // An unchanged address is posted again after a failed upload, until one upload succeeds:
    // otherwise the server would keep a stale page although the program knows better.
    void RecordUpload(bool succeeded) noexcept { uploadOwed_ = !succeeded; }
    bool UploadOwed() const noexcept { return uploadOwed_; }

private:
    bool uploadOwed_ = false;
};

} // namespace tovra
