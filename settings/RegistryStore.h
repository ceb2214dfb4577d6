#pragma once
// The program's per-user key, HKEY_CURRENT_USER\SOFTWARE\<company>\<product>, and the text values
// under it. The store only knows the key: value names, widths and defaults belong to its callers.
// Each operation opens the key, does one value operation and closes it again, so no key handle
// outlives a call. Used from one thread at a time; it holds no lock.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovra {

// The names of the program's own key, which a store names unless it is told otherwise.
inline constexpr char kCompanyName[] = "Brannik";
inline constexpr char kProductName[] = "Tovra";

class CRegistryStore {
public:
    static constexpr std::uint32_t kNameCapacity = 256; // 255 characters and the terminator
    // "SOFTWARE", two separators and two names of 255 characters always fit, so a long pair of
    // names is never cut into the path of some other key. The platform refuses paths beyond 259
    // characters: with such names the operations fail rather than touch the wrong key.
    static constexpr std::uint32_t kKeyPathCapacity = 8 + 1 + 255 + 1 + 255 + 1;

    explicit CRegistryStore(std::string_view company = kCompanyName,
                            std::string_view product = kProductName) noexcept;

    // A name longer than 255 characters keeps its first 255.
    void SetCompany(std::string_view company) noexcept;
    void SetProduct(std::string_view product) noexcept;

    std::string_view Company() const noexcept;
    std::string_view Product() const noexcept;
    // "SOFTWARE", then "\company" and "\product" for each name that is not empty.
    std::string_view KeyPath() const noexcept;

    // Stores `text` as REG_SZ (terminated, as NT stores texts; an empty text as zero bytes),
    // creating missing keys on the path. False when the key cannot be created or the value cannot
    // be set, for example when the key path is longer than the platform's 259 characters.
    bool WriteString(const char* name, std::string_view text) const;

    // Copies the stored text into `buffer` (of `size` bytes), zero-fills the rest and returns true.
    // The stored bytes count up to their first zero byte, whatever the value's type; a text that
    // does not leave room for the terminator counts as missing. When the key or the value is
    // missing, or the text is too long, returns false and leaves the buffer untouched. Never
    // creates the key.
    bool ReadString(const char* name, char* buffer, std::uint32_t size) const;

    // A REG_MULTI_SZ value as its raw bytes (its texts in the code page, each with its zero, then
    // the zero that ends the list). Read: empty when the key or the value is missing, of another
    // type, or longer than maxBytes; the bytes are not examined, but the system's read gives a
    // last text that lacks its zero one when there is room (NT does so for every string type).
    // Write: stores `bytes` as they are, creating missing keys on the path; false when it fails.
    std::optional<std::string> ReadMultiString(const char* name, std::uint32_t maxBytes) const;
    bool WriteMultiString(const char* name, std::string_view bytes) const;

    template <std::uint32_t N> bool ReadString(const char* name, char (&buffer)[N]) const {
        return ReadString(name, buffer, N);
    }

private:
    void BuildKeyPath() noexcept;

    char company_[kNameCapacity];
    char product_[kNameCapacity];
    char keyPath_[kKeyPathCapacity];
};

} // namespace tovra
