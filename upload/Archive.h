#pragma once
// A binary archive in the byte layout of MFC's CArchive, so that a record serialised here reads the
// same as one written by the classic framework: integers as 32-bit little-endian, texts as a
// length prefix followed by the bytes without a terminator. The prefix is one byte below 255;
// otherwise 0xFF and a 16-bit length below 0xFFFE; otherwise 0xFF, 0xFFFF and a 32-bit length.
//
// An archive either stores (it collects bytes) or loads (it reads from bytes handed to it, which
// may come from outside and are never trusted): a read past the end or a malformed prefix throws
// ArchiveError and leaves the value being read unchanged.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tovra {

class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Archive {
public:
    static Archive ForStoring();
    // The bytes are copied: the archive does not depend on the caller's buffer.
    static Archive ForLoading(const void* data, std::size_t size);

    Archive& operator<<(std::int32_t value);
    Archive& operator<<(std::uint32_t value);
    Archive& operator<<(std::string_view text);
    Archive& operator>>(std::int32_t& value);
    Archive& operator>>(std::uint32_t& value);
    Archive& operator>>(std::string& text);

    // Stores or loads, by the archive's direction, so that a record lists its fields only once.
    template <typename T> Archive& Transfer(T& value) {
        if (storing_)
            return *this << static_cast<const T&>(value);
        return *this >> value;
    }

    // What has been stored, or the whole input of a loading archive.
    const std::vector<std::uint8_t>& Bytes() const noexcept { return bytes_; }
    // For a loading archive: the count of input bytes not yet read.
    std::size_t Remaining() const noexcept { return bytes_.size() - position_; }

private:
    explicit Archive(bool storing) noexcept : storing_(storing) {}

    void RequireStoring() const;
    void RequireLoading() const;
    void Put(std::uint32_t value, int width);
    std::uint32_t Take(int width);

    bool storing_;
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

} // namespace tovra
