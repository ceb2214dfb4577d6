#pragma once
// The IP echo sites that a web check asks, in the order it asks them.

#include <string>
#include <vector>

namespace tovra {

struct IpSite {
    std::string host; // host name, reached over plain HTTP on port 80
    std::string path; // page on that host, beginning with "/"

    bool operator==(const IpSite&) const = default;
};

// The built-in list. It is part of the program, not of the settings: every start shows and asks
// exactly these, in this order, whatever the Advanced page showed before. Each host occurs once.
std::vector<IpSite> DefaultIpSites();

} // namespace tovra
