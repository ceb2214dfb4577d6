#include "cycle/PostingDecision.h"

namespace tovra {

PostingDecision::Outcome PostingDecision::Decide(std::string_view previous, std::string_view detected,
                                                 bool displayOnly, bool forcePost) const {
    if (detected.empty())
        return Outcome::NothingDetected;
    if (displayOnly)
        return Outcome::DisplayOnly;
    if (forcePost || previous != detected || UploadOwed())
        return Outcome::Post;
    return Outcome::Unchanged;
}

} // namespace tovra
