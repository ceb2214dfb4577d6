#pragma once
// Whether a finished detection leads to an upload. Used from the thread that reports a detection
// and from the thread that ran an upload; the one flag it keeps is atomic.

#include <atomic>
#include <string_view>

namespace tovra {

inline constexpr std::string_view kNothingDetectedLine = "No IP Address could be detected.";
inline constexpr std::string_view kUnchangedLine =
    "Detected IP Address hasn't changed, and Force Upload was not turned on.";

class PostingDecision {
public:
    enum class Outcome {
        NothingDetected, // keep what is shown and published; log kNothingDetectedLine
        DisplayOnly,     // show the address, never post
        Unchanged,       // show the address; log kUnchangedLine
        Post,            // show the address and post it
    };

    // previous is the address shown before this detection. An empty detection never replaces it,
    // so a failed lookup cannot publish a page without an address over a good one.
    Outcome Decide(std::string_view previous, std::string_view detected, bool displayOnly,
                   bool forcePost) const;

    // An unchanged address is posted again after a failed upload, until one upload succeeds:
    // otherwise the server would keep a stale page although the program knows better.
    void RecordUpload(bool succeeded) noexcept { uploadOwed_.store(!succeeded); }
    bool UploadOwed() const noexcept { return uploadOwed_.load(); }

private:
    std::atomic<bool> uploadOwed_{false};
};

} // namespace tovra
