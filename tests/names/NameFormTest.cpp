#include "names/NameForm.h"

#include <gtest/gtest.h>

namespace tovra {
namespace {

constexpr std::size_t kNoIp = 0;

std::size_t ChoiceNamed(const std::string& label) {
    const std::vector<NameChoice> choices = NameChoices();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].label == label)
            return i;
    }
    ADD_FAILURE() << label;
    return 0;
}

// Each thing a form may lack, and what makes it sound; the hint names what is missing.
TEST(NameForm, OnlyASoundNameIsAcceptedAndTheHintSaysWhatIsMissing) {
    struct Case {
        NameFormInput input;
        bool accepted;
        const char* hint;
    };
    const std::size_t other = ChoiceNamed("Other dyndns2 server");
    const std::size_t duck = ChoiceNamed("DuckDNS");
    const Case cases[] = {
        {{kNoIp, "", " home.ddns.net ", "ann", "pw", ""}, true, ""},
        {{other, "", "home.example.org", "ann", "pw", ""},
         false,
         "Enter the update server of your provider."},
        {{other, "dyn.example.org:99999", "home.example.org", "ann", "pw", ""},
         false,
         "The server is a host name, with :port if it needs one."},
        {{other, "dyn.example.org:8443", "home.example.org", "ann", "", "stored"}, true, ""},
        {{kNoIp, "", "https://home.ddns.net", "ann", "pw", ""},
         false,
         "The host name may hold letters, digits, hyphens and dots only."},
        {{kNoIp, "", "home.ddns.net", "", "pw", ""}, false, "Enter the user name of your account."},
        {{kNoIp, "", "home.ddns.net", "ann", "", ""}, false, "Enter the password."},
        {{duck, "", "mine", "ignored", "", ""}, false, "Enter the token."},
        {{duck, "", "mine", "ignored", "tok", ""}, true, ""},
        {{99, "", "mine", "", "tok", ""}, false, "Choose the service that holds the name."},
    };
    for (const Case& c : cases) {
        std::string hint = "unset";
        const std::optional<DnsName> name = NameFromForm(c.input, hint);
        EXPECT_EQ(name.has_value(), c.accepted) << c.input.hostName << " " << c.input.server;
        EXPECT_EQ(hint, c.hint) << c.input.hostName << " " << c.input.server;
    }
}

// A preset fills the server; DuckDNS has no account; a typed secret replaces the stored one.
TEST(NameForm, TheFormFillsWhatTheServiceImpliesAndShowsAStoredNameByItsPreset) {
    std::string hint;
    const std::optional<DnsName> preset =
        NameFromForm({kNoIp, "typed.example", "h.ddns.net", "ann", "new", "old"}, hint);
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->server, "dynupdate.no-ip.com");
    EXPECT_EQ(preset->secret, "new");
    EXPECT_EQ(ChoiceOf(*preset), kNoIp);

    const std::optional<DnsName> duck =
        NameFromForm({ChoiceNamed("DuckDNS"), "", "mine", "ann", "", "tok"}, hint);
    ASSERT_TRUE(duck);
    EXPECT_EQ(duck->account, "");
    EXPECT_EQ(duck->secret, "tok");
    EXPECT_EQ(ChoiceOf(*duck), ChoiceNamed("DuckDNS"));

    DnsName other = *preset;
    other.server = "DYN.example.org";
    EXPECT_EQ(ChoiceOf(other), ChoiceNamed("Other dyndns2 server"));
}

} // namespace
} // namespace tovra
