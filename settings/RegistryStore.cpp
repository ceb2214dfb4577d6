#include "settings/RegistryStore.h"

#include "framework/FixedText.h"
#include "framework/Win32Handles.h"

#include <cstring>
#include <string>

namespace tovra {

CRegistryStore::CRegistryStore(std::string_view company, std::string_view product) noexcept
    : company_(), product_(), keyPath_() {
    CopyBounded(company_, company);
    CopyBounded(product_, product);
    BuildKeyPath();
}

void CRegistryStore::SetCompany(std::string_view company) noexcept {
    CopyBounded(company_, company);
    BuildKeyPath();
}

void CRegistryStore::SetProduct(std::string_view product) noexcept {
    CopyBounded(product_, product);
    BuildKeyPath();
}

std::string_view CRegistryStore::Company() const noexcept {
    return FieldText(company_);
}
std::string_view CRegistryStore::Product() const noexcept {
    return FieldText(product_);
}
std::string_view CRegistryStore::KeyPath() const noexcept {
    return FieldText(keyPath_);
}

void CRegistryStore::BuildKeyPath() noexcept {
    std::string path = "SOFTWARE";
    for (std::string_view name : {Company(), Product()}) {
        if (!name.empty()) {
            path += '\\';
            path += name;
        }
    }
    CopyBounded(keyPath_, path);
}

namespace {

// Creates or opens the key for writing, with any missing keys on the path; empty on failure.
UniqueRegKey CreateKey(const char* keyPath) {
    UniqueRegKey key;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        key.reset();
    return key;
}

} // namespace

bool CRegistryStore::WriteString(const char* name, std::string_view text) const {
    const UniqueRegKey key = CreateKey(keyPath_);
    if (!key)
        return false;
    // NT counts the terminator itself when the byte after a non-empty text is zero ("if user forgot
    // to count terminating null, add it"), and so reads one byte past a text that ends its buffer.
    // Counting it ourselves, from a terminated copy, stores the same value and reads only our own
    // bytes. An empty text stays a value of zero bytes, as NT stores it.
    const std::string terminated(text);
    const DWORD count = terminated.empty() ? 0 : static_cast<DWORD>(terminated.size() + 1);
    return ::RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(terminated.c_str()),
                            count) == ERROR_SUCCESS;
}

bool CRegistryStore::ReadString(const char* name, char* buffer, std::uint32_t size) const {
    if (size == 0)
        return false;
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    // Read into scratch first: the caller's buffer changes only when the whole text fits.
    std::string stored(size, '\0');
    DWORD type = 0;
    DWORD count = size;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(stored.data()), &count) !=
        ERROR_SUCCESS)
        return false;
    stored.resize(count);
    const std::size_t length = std::strlen(stored.c_str());
    if (length >= size)
        return false;
    CopyBounded(buffer, size, std::string_view(stored.data(), length));
    return true;
}

std::optional<std::string> CRegistryStore::ReadMultiString(const char* name, std::uint32_t maxBytes) const {
    UniqueRegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, keyPath_, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    // One read into a buffer of the largest size taken: a longer value fails with ERROR_MORE_DATA
    // and is never read whole, whatever its size.
    std::string bytes(maxBytes, '\0');
    DWORD type = 0;
    DWORD count = maxBytes;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &count) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ || count > maxBytes)
        return std::nullopt;
    bytes.resize(count);
    return bytes;
}

bool CRegistryStore::WriteMultiString(const char* name, std::string_view bytes) const {
    const UniqueRegKey key = CreateKey(keyPath_);
    return key &&
           ::RegSetValueExA(key.get(), name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

} // namespace tovra
