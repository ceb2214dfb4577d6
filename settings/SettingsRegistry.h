#pragma once
// Moves the settings between their fields and the registry values of the same names. The move
// between the fields and the page controls is the main window's; it joins the two.
//
// These functions only read and write values under whatever key the store names (the program's
// own, unless a test names another).

#include "settings/RegistryStore.h"
#include "settings/Settings.h"

#include <vector>

namespace tovra {

// Reads every value into its field. A text value that is missing, or too long for its field,
// leaves the field as it was; an empty port becomes "21" and an empty template file "Tovra.html";
// the flags come from their stored texts alone (missing: passive on, force and web off).
// LastIP, and LastIPv6 with it, are read only when LastIP is empty, so that addresses detected
// during this run are not replaced by older stored ones. The site list is `builtInSites` while its
// value is missing or damaged (StoredIpSites.h). Returns true when it did read the addresses, so
// that the caller can show them.
bool LoadSettingsFromRegistry(const CRegistryStore& store, Settings& settings,
                              const std::vector<IpSite>& builtInSites = DefaultIpSites());

// Writes the thirteen values in the order earlier versions wrote them, texts cut to the lengths a
// save may store, then LastIPv6 and the site list (at most kMaxIpSites). A failed write does not
// stop the others; returns false if any failed.
bool SaveSettingsToRegistry(const CRegistryStore& store, const Settings& settings);

} // namespace tovra
