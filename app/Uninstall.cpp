#include "app/Uninstall.h"

#include "framework/Win32Handles.h"

#include <string>

namespace tovra {

bool Uninstall(const CRegistryStore& store) {
    const std::string product(store.Product());
    {
        UniqueRegKey run;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_WRITE, run.put()) != ERROR_SUCCESS)
            return false;
        ::RegDeleteValueA(run.get(), product.c_str());
    }
    const std::string companyPath = std::string("SOFTWARE\\") + std::string(store.Company());
    UniqueRegKey company;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, companyPath.c_str(), 0, KEY_READ | KEY_WRITE | DELETE,
                        company.put()) != ERROR_SUCCESS)
        return false;
    // With no product name this would name no subkey at all; never delete the company key itself.
    // The whole tree: a key that still has subkeys (the DNS names') cannot be deleted on its own.
    if (!product.empty())
        ::RegDeleteTreeA(company.get(), product.c_str());
    return true;
}

} // namespace tovra
