#pragma once
// Fixed-size, zero-terminated text fields (the settings and the registry store keep their texts
// in such arrays). Every copy is bounded by the array and always leaves a terminator.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace tovra {

// Copies at most capacity - 1 bytes of source (up to its first zero byte) and zero-fills the rest
// of the destination, so the result is terminated whatever the source held. Returns the length
// copied. A capacity of 0 writes nothing.
inline std::size_t CopyBounded(char* destination, std::size_t capacity, std::string_view source) noexcept {
    if (capacity == 0)
        return 0;
    const std::size_t zero = source.find('\0');
    if (zero != std::string_view::npos)
        source = source.substr(0, zero);
    const std::size_t length = source.size() < capacity - 1 ? source.size() : capacity - 1;
    std::memcpy(destination, source.data(), length);
    std::memset(destination + length, 0, capacity - length);
    return length;
}

template <std::size_t N> std::size_t CopyBounded(char (&destination)[N], std::string_view source) noexcept {
    return CopyBounded(destination, N, source);
}

// The text of a fixed field: up to its first zero byte, never past its end.
template <std::size_t N> std::string_view FieldText(const char (&field)[N]) noexcept {
    return std::string_view(field, strnlen(field, N));
}

} // namespace tovra
