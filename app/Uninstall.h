#pragma once
// Removes what the program keeps in the registry: the autostart value named after the product
// under the per-user Run key, and the settings key SOFTWARE\<company>\<product>. The company key
// stays, as other products of the maker may live there. The settings key goes with everything
// under it, the DNS names included. The program never writes the Run value.

#include "settings/RegistryStore.h"

namespace tovra {

inline constexpr char kRunKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// True when both removals were attempted. When the Run key cannot be opened nothing is removed;
// when the company key cannot be opened only the autostart value is gone.
bool Uninstall(const CRegistryStore& store);

} // namespace tovra
