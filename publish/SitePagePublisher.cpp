#include "publish/SitePagePublisher.h"

namespace tovra {

SitePagePublisher::SitePagePublisher(const PublisherContext& context)
    : ftp_(context), ftps_(context), webDav_(context) {}

Outcome SitePagePublisher::Publish(const Posting& posting) {
    switch (posting.settings->SiteProtocol) {
    case PageProtocol::Ftps:
        return ftps_.Publish(posting);
    case PageProtocol::WebDav:
        return webDav_.Publish(posting);
    case PageProtocol::Ftp:
        break;
    }
    return ftp_.Publish(posting);
}

} // namespace tovra
