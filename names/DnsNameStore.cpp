#include "names/DnsNameStore.h"

#include "framework/Win32Handles.h"
#include "framework/SecurityLibraries.h"
#include "framework/WideText.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace tovra {
namespace {

std::mutex& StoreMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr DWORD kMaxValueBytes = 0x10000;

enum class Read { Ok, Missing, Damaged };

Read ReadValue(HKEY key, const char* name, DWORD wantedType, std::string& out) {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND)
        return Read::Missing;
    if (status != ERROR_SUCCESS || type != wantedType || size > kMaxValueBytes)
        return Read::Damaged;
    std::string bytes(size, '\0');
    status = ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    if (status != ERROR_SUCCESS || type != wantedType)
        return Read::Damaged;
    bytes.resize(size);
    if (wantedType == REG_SZ)
        bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    out = std::move(bytes);
    return Read::Ok;
}

bool WriteText(HKEY key, const char* name, const std::string& text) {
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

// Written when there is something to say, deleted otherwise: Stopped is absent while updating.
bool WriteOrDelete(HKEY key, const char* name, const std::string& text) {
    if (!text.empty())
        return WriteText(key, name, text);
    const LSTATUS status = ::RegDeleteValueA(key, name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// The numbered subkeys in list order; others (a stray "old" key, say) are not names.
std::vector<std::pair<unsigned long, std::string>> NumberedSubkeys(HKEY list) {
    std::vector<std::pair<unsigned long, std::string>> found;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        const LSTATUS status = ::RegEnumKeyExA(list, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        const std::string text(name, length);
        if (text.empty() || text.size() > 4 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        found.emplace_back(std::strtoul(text.c_str(), nullptr, 10), text);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Why the subkey is no name; empty when `name` was read whole.
std::string ReadName(HKEY key, DnsName& name) {
    std::string service;
    if (ReadValue(key, "Service", REG_SZ, service) != Read::Ok)
        return "it has no Service";
    const std::optional<DnsService> known = ServiceFromValue(service);
    if (!known)
        return "its Service \"" + service + "\" is none Tovra knows";
    name.service = *known;
    if (ReadValue(key, "HostName", REG_SZ, name.hostName) != Read::Ok || name.hostName.empty())
        return "it has no HostName";
    struct Text {
        const char* value;
        std::string* field;
    };
    for (const Text& text : {Text{"Server", &name.server}, Text{"Account", &name.account},
                             Text{"LastAddress", &name.lastAddress}, Text{"LastIPv6", &name.lastIpv6},
                             Text{"Stopped", &name.stopped}}) {
        if (ReadValue(key, text.value, REG_SZ, *text.field) == Read::Damaged)
            return std::string("its ") + text.value + " is not a text";
    }
    std::string stored;
    switch (ReadValue(key, "Secret", REG_BINARY, stored)) {
    case Read::Missing: // deployed without one: the user sets it in the window
        return {};
    case Read::Damaged:
        return "its Secret is not binary";
    case Read::Ok:
        break;
    }
    std::optional<std::string> secret = DnsNameStore::Unprotect(stored);
    if (!secret)
        return "its Secret cannot be read by this user";
    name.secret = std::move(*secret);
    return {};
}

bool WriteName(HKEY key, const DnsName& name) {
    bool written =
        WriteText(key, "Service", std::string(ServiceValue(name.service))) &&
        WriteText(key, "HostName", name.hostName) && WriteText(key, "Server", name.server) &&
        WriteText(key, "Account", name.account) && WriteOrDelete(key, "LastAddress", name.lastAddress) &&
        WriteOrDelete(key, "LastIPv6", name.lastIpv6) && WriteOrDelete(key, "Stopped", name.stopped);
    if (!written)
        return false;
    if (name.secret.empty())
        return ::RegDeleteValueA(key, "Secret") != ERROR_ACCESS_DENIED;
    const std::optional<std::string> stored = DnsNameStore::Protect(name.secret);
    return stored &&
           ::RegSetValueExA(key, "Secret", 0, REG_BINARY, reinterpret_cast<const BYTE*>(stored->data()),
                            static_cast<DWORD>(stored->size())) == ERROR_SUCCESS;
}

struct LocalBlob {
    DATA_BLOB blob{0, nullptr};
    ~LocalBlob() {
        if (blob.pbData != nullptr)
            ::LocalFree(blob.pbData);
    }
};

} // namespace

DnsNameStore::DnsNameStore(std::string productKeyPath)
    : listPath_(std::move(productKeyPath) + "\\" + kSubkeyName) {}

std::optional<std::string> DnsNameStore::Protect(const std::string& secret) {
    std::wstring wide = WidenAnsi(secret);
    DATA_BLOB in{static_cast<DWORD>(wide.size() * sizeof(wchar_t)), reinterpret_cast<BYTE*>(wide.data())};
    const SecurityLibraries::Crypt32* crypto = SecurityLibraries::Crypto();
    LocalBlob out;
    const BOOL ok = crypto && crypto->protectData(&in, L"Tovra", nullptr, nullptr, nullptr,
                                                  CRYPTPROTECT_UI_FORBIDDEN, &out.blob);
    SecureZeroMemory(wide.data(), wide.size() * sizeof(wchar_t));
    if (!ok)
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(out.blob.pbData), out.blob.cbData);
}

std::optional<std::string> DnsNameStore::Unprotect(const std::string& stored) {
    DATA_BLOB in{static_cast<DWORD>(stored.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(stored.data()))};
    const SecurityLibraries::Crypt32* crypto = SecurityLibraries::Crypto();
    LocalBlob out;
    if (!crypto ||
        !crypto->unprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out.blob))
        return std::nullopt;
    if (out.blob.cbData % sizeof(wchar_t) != 0)
        return std::nullopt;
    const std::wstring_view wide(reinterpret_cast<const wchar_t*>(out.blob.pbData),
                                 out.blob.cbData / sizeof(wchar_t));
    std::optional<std::string> secret = NarrowExactly(wide);
    SecureZeroMemory(out.blob.pbData, out.blob.cbData);
    return secret;
}

DnsNameStore::Loaded DnsNameStore::Load() const {
    const std::lock_guard<std::mutex> lock(StoreMutex());
    Loaded loaded;
    UniqueRegKey list;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, listPath_.c_str(), 0, KEY_READ, list.put()) != ERROR_SUCCESS)
        return loaded;
    for (const auto& [number, subkey] : NumberedSubkeys(list.get())) {
        UniqueRegKey key;
        DnsName name;
        std::string why = "it cannot be opened";
        if (::RegOpenKeyExA(list.get(), subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS)
            why = ReadName(key.get(), name);
        if (why.empty()) {
            loaded.names.push_back(std::move(name));
            loaded.subkeys.push_back(subkey);
        } else {
            loaded.lines.push_back("The stored name " + std::string(kSubkeyName) + "\\" + subkey +
                                   " was left out: " + why + ".");
        }
    }
    return loaded;
}

bool DnsNameStore::Save(const std::vector<DnsName>& names) const {
    // What the updates recorded for names that stay as they were.
    const std::vector<DnsName> stored = Load().names;
    const std::lock_guard<std::mutex> lock(StoreMutex());
    UniqueRegKey list;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, listPath_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | DELETE,
                          nullptr, list.put(), nullptr) != ERROR_SUCCESS)
        return false;
    bool saved = true;
    for (const auto& [number, subkey] : NumberedSubkeys(list.get())) {
        if (number >= names.size() && ::RegDeleteTreeA(list.get(), subkey.c_str()) != ERROR_SUCCESS)
            saved = false;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        DnsName name = names[i];
        name.lastAddress.clear();
        name.lastIpv6.clear();
        name.stopped.clear();
        const auto same = std::find_if(stored.begin(), stored.end(),
                                       [&](const DnsName& old) { return SameSettings(old, name); });
        if (same != stored.end()) {
            name.lastAddress = same->lastAddress;
            name.lastIpv6 = same->lastIpv6;
            name.stopped = same->stopped;
        }
        UniqueRegKey key;
        if (::RegCreateKeyExA(list.get(), std::to_string(i).c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                              nullptr, key.put(), nullptr) != ERROR_SUCCESS ||
            !WriteName(key.get(), name))
            saved = false;
    }
    return saved;
}

bool DnsNameStore::Record(const std::string& subkey, const DnsName& name) const {
    const std::lock_guard<std::mutex> lock(StoreMutex());
    UniqueRegKey key;
    const std::string path = listPath_ + "\\" + subkey;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WRITE, key.put()) != ERROR_SUCCESS)
        return false;
    DnsName now;
    if (!ReadName(key.get(), now).empty() || !SameSettings(now, name))
        return false;
    return WriteOrDelete(key.get(), "LastAddress", name.lastAddress) &&
           WriteOrDelete(key.get(), "LastIPv6", name.lastIpv6) &&
           WriteOrDelete(key.get(), "Stopped", name.stopped);
}

} // namespace tovra
