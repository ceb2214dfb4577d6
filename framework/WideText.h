#pragma once
// Between the two kinds of text the program holds. Its settings, the FTP names it sends and the
// log are single-byte texts of the system code page, as they always were; but the paths it picks
// itself (the temporary folder, its own folder) belong to the user, whose name may hold
// characters that code page cannot spell, so those paths are UTF-16 and reach the system through
// the wide functions.

#include <optional>
#include <string>
#include <string_view>

namespace tovra {

// A code-page text as UTF-16.
std::wstring WidenAnsi(std::string_view text);

// The code-page form of `text`, or nothing when a character of it has no exact one there (no
// best-fit guesses: "Łódź" must not quietly become "Lodz", another folder).
std::optional<std::string> NarrowExactly(std::wstring_view text);

// The code-page form for showing to the user: a character it lacks becomes "?", never a look-alike
// that would name another folder.
std::string NarrowForDisplay(std::wstring_view text);

} // namespace tovra
