#include "settings/SettingsRegistry.h"

#include "detection/SiteUrl.h"
#include "framework/FixedText.h"
#include "settings/StoredIpSites.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace tovra {
namespace {

// Flags are read through a small zeroed scratch so that a missing value reads as empty, whatever
// the flag held before.
bool ReadFlag(const CRegistryStore& store, const char* name, bool whenEmpty) {
    char scratch[6] = {};
    store.ReadString(name, scratch);
    return DecodeFlag(FieldText(scratch), whenEmpty);
}

template <std::size_t N> void ReadText(const CRegistryStore& store, const char* name, char (&field)[N]) {
    store.ReadString(name, field, N);
}

template <std::size_t N> void ApplyDefault(char (&field)[N], std::string_view fallback) {
    if (field[0] == '\0')
        CopyBounded(field, fallback);
}

template <std::size_t N> std::string_view Cut(const char (&field)[N], std::size_t longest) {
    return FieldText(field).substr(0, longest);
}

} // namespace

bool LoadSettingsFromRegistry(const CRegistryStore& store, Settings& s,
                              const std::vector<IpSite>& builtInSites) {
    ReadText(store, "SiteAddress", s.SiteAddress);
    ReadText(store, "SitePort", s.SitePort);
    ApplyDefault(s.SitePort, Settings::kDefaultPort);
    ReadText(store, "SiteUsername", s.SiteUsername);
    ReadText(store, "SitePassword", s.SitePassword);
    ReadText(store, "SiteRemotePath", s.SiteRemotePath);
    s.SitePasvMode = ReadFlag(store, "SitePasvMode", true);
    char protocol[8] = {};
    store.ReadString("SiteProtocol", protocol);
    s.SiteProtocol = DecodePageProtocol(FieldText(protocol));
    // Kept as stored, relative or not: resolving a relative name is the page generator's business,
    // so the value stays portable with the program's folder.
    ReadText(store, "LocalTemplateFile", s.LocalTemplateFile);
    ApplyDefault(s.LocalTemplateFile, Settings::kDefaultTemplateFile);
    ReadText(store, "ProxyUsername", s.ProxyUsername);
    ReadText(store, "ProxyPassword", s.ProxyPassword);
    ReadText(store, "PostFrequency", s.PostFrequency);
    s.ForcePost = ReadFlag(store, "ForcePost", false);
    s.GetWebAddress = ReadFlag(store, "GetWebAddress", false);
    std::optional<std::vector<IpSite>> sites;
    if (const auto stored = store.ReadMultiString(kIpSitesValueName, kMaxStoredIpSitesBytes))
        sites = DecodeIpSites(*stored);
    s.IpSites = sites ? std::move(*sites) : builtInSites;
    if (s.LastIP[0] != '\0')
        return false;
    // The two addresses are one detection's result: they are read together.
    ReadText(store, "LastIP", s.LastIP);
    ReadText(store, "LastIPv6", s.LastIPv6);
    return true;
}

bool SaveSettingsToRegistry(const CRegistryStore& store, const Settings& s) {
    constexpr std::size_t kText = Settings::kLongestSavedText;
    bool allWritten = true;
    auto write = [&](const char* name, std::string_view text) {
        allWritten &= store.WriteString(name, text);
    };
    write("LastIP", FieldText(s.LastIP));
    write("SiteAddress", Cut(s.SiteAddress, kText));
    write("SitePort", Cut(s.SitePort, Settings::kLongestSavedPort));
    write("SiteUsername", Cut(s.SiteUsername, kText));
    write("SitePassword", Cut(s.SitePassword, kText));
    write("SiteRemotePath", Cut(s.SiteRemotePath, kText));
    write("SitePasvMode", EncodeFlag(s.SitePasvMode));
    write("LocalTemplateFile", Cut(s.LocalTemplateFile, kText));
    write("ProxyUsername", Cut(s.ProxyUsername, kText));
    write("ProxyPassword", Cut(s.ProxyPassword, kText));
    write("PostFrequency", FieldText(s.PostFrequency));
    write("ForcePost", EncodeFlag(s.ForcePost));
    write("GetWebAddress", EncodeFlag(s.GetWebAddress));
    write("LastIPv6", FieldText(s.LastIPv6));
    write("SiteProtocol", EncodePageProtocol(s.SiteProtocol));
    const std::size_t kept = std::min(s.IpSites.size(), kMaxIpSites);
    allWritten &= store.WriteMultiString(
        kIpSitesValueName, EncodeIpSites(std::vector<IpSite>(s.IpSites.begin(), s.IpSites.begin() + kept)));
    return allWritten;
}

} // namespace tovra
