// The WebDAV uploader against Debian's nginx over TLS on loopback.

#include "upload/WebDavUploader.h"

#include "tests/support/TrustedAuthority.h"
#include "tests/support/WebDavTestServer.h"
#include "tests/upload/RecordingLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovra {
namespace {

using test::RecordingLog;

WebDavJob JobFor(const test::WebDavTestServer& dav, const std::string& remotePath) {
    WebDavJob job;
    job.server = "localhost";
    job.port = dav.Port();
    job.userName = dav.User();
    job.password = dav.Password();
    job.remotePath = remotePath;
    job.page = "<p>IP 203.0.113.7</p>\r\n";
    return job;
}

const std::string kStored = "File uploaded successfully!";

// What the server answers, and the last line of each posting: stored at once, stored after the
// folders were made, refused sign-in, a full disk, and a site address that would send the
// password in clear.
TEST(WebDavUploadTest, PutsThePageOrSaysWhyNot) {
    test::WebDavTestServer dav;
    const test::TrustedAuthority trust(dav.AuthorityCertificate());
    struct Case {
        const char* remotePath;
        const char* server;
        const char* password;
        std::string lastLine;
        const char* stored; // the file that holds the page afterwards; null: none
    };
    const Case cases[] = {
        {"/ip.html", "localhost", nullptr, kStored, "ip.html"},
        {"htdocs/my page/ip.html", "https://localhost", nullptr, kStored, "htdocs/my page/ip.html"},
        {"/ip.html", "localhost", "wrong", "The server refused the user name or password (HTTP status 401).",
         nullptr},
        {"/full/ip.html", "localhost", nullptr,
         "The server answered HTTP status 507 (Insufficient Storage); the page was not stored.", nullptr},
        {"/plain.html", "http://localhost", nullptr,
         "WebDAV goes only over https, so that the password never crosses the network in clear: the Site "
         "Address must not start with http://.",
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.remotePath);
        RecordingLog log;
        WebDavUploader uploader(log, nullptr);
        WebDavJob job = JobFor(dav, c.remotePath);
        job.server = c.server;
        if (c.password)
            job.password = c.password;
        const WebDavUploader::Outcome outcome = uploader.Upload(job);
        EXPECT_EQ(outcome.uploaded, c.stored != nullptr);
        const std::vector<std::string> steps = log.StepLines();
        ASSERT_FALSE(steps.empty());
        EXPECT_EQ(steps.back(), c.lastLine);
        EXPECT_EQ(outcome.reason, c.lastLine);
        if (c.stored) {
            EXPECT_EQ(dav.ReadFile(c.stored), job.page);
        }
        EXPECT_EQ(log.Text().find(dav.Password()), std::string::npos);
    }
}

// Its own program: the authority of this server was never trusted here.
TEST(WebDavUploadTest, AnUntrustedCertificateGetsNothing) {
    test::WebDavTestServer dav;
    RecordingLog log;
    WebDavUploader uploader(log, nullptr);
    const WebDavUploader::Outcome outcome = uploader.Upload(JobFor(dav, "/ip.html"));
    EXPECT_FALSE(outcome.uploaded);
    EXPECT_EQ(outcome.reason, "The certificate of localhost is not trusted, so the page was not sent.");
    EXPECT_FALSE(dav.FileExists("ip.html"));
}

} // namespace
} // namespace tovra
