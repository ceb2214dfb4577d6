#include "upload/Archive.h"

#include <limits>

namespace tovra {
namespace {

constexpr std::uint32_t kByteEscape = 0xFF;
constexpr std::uint32_t kWordEscape = 0xFFFF;
// MFC marks a wide-character string with this 16-bit length; our texts are always single-byte.
constexpr std::uint32_t kWideMarker = 0xFFFE;

} // namespace

Archive Archive::ForStoring() {
    return Archive(true);
}

Archive Archive::ForLoading(const void* data, std::size_t size) {
    Archive archive(false);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (size != 0)
        archive.bytes_.assign(bytes, bytes + size);
    return archive;
}

void Archive::RequireStoring() const {
    if (!storing_)
        throw ArchiveError("archive: storing into an archive that loads");
}

void Archive::RequireLoading() const {
    if (storing_)
        throw ArchiveError("archive: loading from an archive that stores");
}

void Archive::Put(std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i)
        bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t Archive::Take(int width) {
    if (Remaining() < static_cast<std::size_t>(width))
        throw ArchiveError("archive: read past the end of the data");
    std::uint32_t value = 0;
    for (int i = 0; i < width; ++i)
        value |= static_cast<std::uint32_t>(bytes_[position_ + i]) << (8 * i);
    position_ += width;
    return value;
}

Archive& Archive::operator<<(std::int32_t value) {
    return *this << static_cast<std::uint32_t>(value);
}

Archive& Archive::operator<<(std::uint32_t value) {
    RequireStoring();
    Put(value, 4);
    return *this;
}

Archive& Archive::operator<<(std::string_view text) {
    RequireStoring();
    if (text.size() > std::numeric_limits<std::uint32_t>::max())
        throw ArchiveError("archive: text too long for a 32-bit length");
    const auto length = static_cast<std::uint32_t>(text.size());
    if (length < kByteEscape) {
        Put(length, 1);
    } else if (length < kWideMarker) {
        Put(kByteEscape, 1);
        Put(length, 2);
    } else {
        Put(kByteEscape, 1);
        Put(kWordEscape, 2);
        Put(length, 4);
    }
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
}

Archive& Archive::operator>>(std::int32_t& value) {
    std::uint32_t raw = 0;
    *this >> raw;
    value = static_cast<std::int32_t>(raw);
    return *this;
}

Archive& Archive::operator>>(std::uint32_t& value) {
    RequireLoading();
    value = Take(4);
    return *this;
}

Archive& Archive::operator>>(std::string& text) {
    RequireLoading();
    // Nothing is consumed unless the whole text is there, so a failed read can be reported with the
    // archive's position unchanged.
    const std::size_t start = position_;
    try {
        std::uint32_t length = Take(1);
        if (length == kByteEscape) {
            length = Take(2);
            if (length == kWideMarker)
                throw ArchiveError("archive: wide-character text is not supported");
            if (length == kWordEscape) {
                length = Take(4);
                // Newer MFC escapes once more here for 64-bit lengths: no text of ours is that long.
                if (length == std::numeric_limits<std::uint32_t>::max())
                    throw ArchiveError("archive: 64-bit text length is not supported");
            }
        }
        // Checked before allocating: a forged length must not make us reserve gigabytes.
        if (Remaining() < length)
            throw ArchiveError("archive: text runs past the end of the data");
        const auto* first = reinterpret_cast<const char*>(bytes_.data() + position_);
        text.assign(first, length);
        position_ += length;
    } catch (...) {
        position_ = start;
        throw;
    }
    return *this;
}

} // namespace tovra
