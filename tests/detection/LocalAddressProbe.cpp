// The local lookup on the machine it runs on, compared with what the caller expects there:
//   local_address_probe.exe EXPECTED-ADDRESS
// Run by local-address-netns.sh inside a network of its own, where the expected address is known.

#include "detection/IpAddressChecker.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::printf("usage: local_address_probe EXPECTED-ADDRESS\n");
        return 2;
    }
    const std::string found = tovra::CIpAddressChecker::FindLocalAddress();
    std::printf("local lookup: \"%s\", expected \"%s\"\n", found.c_str(), argv[1]);
    return found == argv[1] ? 0 : 1;
}
