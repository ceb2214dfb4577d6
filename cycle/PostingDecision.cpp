#include "cycle/PostingDecision.h"

namespace tovra {

PostingDecision::Outcome PostingDecision::Decide(AddressPair previous, AddressPair detected, bool displayOnly,
                                                 bool forcePost) const {
    if (detected.ipv4.empty())
        return Outcome::NothingDetected;
    if (displayOnly)
        return Outcome::DisplayOnly;
    if (forcePost || previous.ipv4 != detected.ipv4 || previous.ipv6 != detected.ipv6 || UploadOwed())
        return Outcome::Post;
    return Outcome::Unchanged;
}

} // namespace tovra
