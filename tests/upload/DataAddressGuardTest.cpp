#include "upload/DataAddressGuard.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

// The reply forms servers are known to send, and what a guard for a server at 192.0.2.10 makes
// of each: only an address that is not the server's own is named.
TEST(DataAddressGuard, NamesOnlyAPassiveAddressThatIsNotTheServers) {
    struct Case {
        const char* reply;
        const char* parsed;
        const char* other;
    };
    const Case cases[] = {
        {"227 Entering Passive Mode (192,0,2,10,195,80).", "192.0.2.10", ""},
        {"227 Entering passive mode (127,0,0,2,221,65).", "127.0.0.2", "127.0.0.2"},
        {"227 =198,51,100,7,4,1", "198.51.100.7", "198.51.100.7"},
        {"227 192,0,2,10,4,1", "192.0.2.10", ""},
        {"227 Entering Passive Mode (256,0,0,1,4,1).", "", ""}, // not an address: WinINet fails it
        {"227 Entering Passive Mode (10,0,0,1).", "", ""},
        {"200 Type set to A (10,0,0,1,4,1)", "", ""},
        {"227", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(PassiveReplyAddress(c.reply), c.parsed);
        DataAddressGuard guard;
        guard.Connecting("192.0.2.10");
        guard.Replied(c.reply);
        EXPECT_EQ(guard.OtherAddress(), c.other);
    }
}

TEST(DataAddressGuard, AConnectionToAnotherAddressCountsAndTheFirstStays) {
    DataAddressGuard guard;
    guard.Connecting("192.0.2.10");
    guard.Connecting("192.0.2.10"); // connected: reported twice for the control connection
    EXPECT_EQ(guard.OtherAddress(), "");
    guard.Connecting("203.0.113.9");
    guard.Replied("227 Entering Passive Mode (198,51,100,7,4,1).");
    EXPECT_EQ(guard.OtherAddress(), "203.0.113.9");

    // A server known only by a name cannot be compared with a reply's address.
    DataAddressGuard named;
    named.Connecting("ftp.example.com");
    named.Replied("227 Entering Passive Mode (198,51,100,7,4,1).");
    EXPECT_EQ(named.OtherAddress(), "");
}

} // namespace
} // namespace tovra
