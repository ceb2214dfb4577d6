#pragma once
// Everything the user configures, plus the last detected address. Each field carries the name of
// the registry value that stores it; texts are fixed zero-terminated arrays, flags are bools, and
// the site list a vector.
// The encodings here ("1"/"0" flags, decimal port text, the widths) are what stored settings of
// every earlier run rely on.
//
// No lock guards a Settings object: its owner passes it to whoever needs it, and each field is
// read and written whole.

#include "detection/IpSite.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tovra {

// How the page reaches the server (value "SiteProtocol": "ftp", "ftps", "webdav"). Anything
// else, a missing value included, is plain FTP, so that every earlier installation goes on as
// before.
enum class PageProtocol { Ftp, Ftps, WebDav };

PageProtocol DecodePageProtocol(std::string_view stored) noexcept;
const char* EncodePageProtocol(PageProtocol protocol) noexcept;
// The port a server of that protocol listens on unless told otherwise.
const char* DefaultPort(PageProtocol protocol) noexcept;

struct Settings {
    // Widths of the fields, terminator included.
    static constexpr std::uint32_t kTextCapacity = 260;
    static constexpr std::uint32_t kShortCapacity = 16;
    // The longest IPv6 text, with an embedded IPv4 address, and its terminator.
    static constexpr std::uint32_t kIpv6Capacity = 46;
    // The longest texts a save stores (the controls hand over at most this many characters).
    static constexpr std::uint32_t kLongestSavedText = 258;
    static constexpr std::uint32_t kLongestSavedPort = 14;

    static constexpr char kDefaultPort[] = "21";
    static constexpr char kDefaultTemplateFile[] = "Tovra.html";

    char LastIP[kShortCapacity] = {};
    char SiteAddress[kTextCapacity] = {};
    char SitePort[kShortCapacity] = {};
    char SiteUsername[kTextCapacity] = {};
    char SitePassword[kTextCapacity] = {};
    char SiteRemotePath[kTextCapacity] = {};
    bool SitePasvMode = false;
    char LocalTemplateFile[kTextCapacity] = {};
    char ProxyUsername[kTextCapacity] = {};
    char ProxyPassword[kTextCapacity] = {};
    // Not shown or used anywhere, but carried through every load and save untouched.
    char PostFrequency[kTextCapacity] = {};
    bool ForcePost = false;
    // Web detection before the first load, as the program has always started.
    bool GetWebAddress = true;
    // The IP echo sites a web check asks, in order (value "IpSites", beside the thirteen above).
    // Only the UI thread touches it; the checker is handed a copy.
    std::vector<IpSite> IpSites = DefaultIpSites();
    // The last detected IPv6 address, empty when the machine had none; stored beside LastIP, the
    // same way, under a value that earlier versions never wrote.
    char LastIPv6[kIpv6Capacity] = {};
    PageProtocol SiteProtocol = PageProtocol::Ftp;
};

// The number at the start of `text` as atoi reads it: leading blanks, an optional sign, then
// decimal digits; 0 when there are none. Unlike atoi it never overflows: values beyond the range
// of a 32-bit int are clamped to it.
std::int32_t LeadingInteger(std::string_view text) noexcept;

// How a stored flag reads: on exactly when its leading number is 1 ("1", "01", " 1x"); an empty
// text (the value is missing or blank) gives `whenEmpty`.
bool DecodeFlag(std::string_view stored, bool whenEmpty) noexcept;

inline const char* EncodeFlag(bool flag) noexcept {
    return flag ? "1" : "0";
}

} // namespace tovra
