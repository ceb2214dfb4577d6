#pragma once
// The page on the user's server by the protocol the settings of each posting name
// (SiteProtocol): FTP, FTP over TLS or WebDAV over HTTPS. One publisher per protocol lives as long
// as this one, so each keeps what it learnt of its server between postings; only the chosen one
// is asked. There is no fallback from one protocol to another: a server that cannot do the
// chosen one fails the posting with its line, and never gets the password over a weaker one.

#include "publish/FtpsPagePublisher.h"
#include "publish/PagePublisher.h"
#include "publish/WebDavPagePublisher.h"

namespace tovra {

class SitePagePublisher final : public Publisher {
public:
    explicit SitePagePublisher(const PublisherContext& context);

    Outcome Publish(const Posting& posting) override;

private:
    PagePublisher ftp_;
    FtpsPagePublisher ftps_;
    WebDavPagePublisher webDav_;
};

} // namespace tovra
