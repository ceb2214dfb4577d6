#pragma once
// Turns the user's template into the published page: the address, time and date placeholders are
// replaced, and nothing else changes. Platform-free, so the host build runs it under sanitizers.

#include "framework/TimeFormat.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tovra {

// Appends `chunk` up to its first zero byte: the template is read as zero-terminated text chunk by
// chunk, so a zero byte drops the rest of its own chunk but not the chunks after it.
void AppendChunkText(std::string& page, const char* chunk, std::size_t size);

// Replaces every occurrence of `placeholder` (non-empty), scanning left to right without overlap.
// Text brought in by a replacement is not scanned again by this call.
void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view replacement);

// The page's time and date texts: "09:05:07 PM" and "Monday, 07 December, 2026".
std::string PageTimeText(const LocalDateTime& now);
std::string PageDateText(const LocalDateTime& now);

// Replaces, in this order and each over the whole page, "<IPAddress>", "<IPaddress>",
// "<IpAddress>", "<ipAddress>", "<ipaddress>" by the address, "<Time>" and "<time>" by the time
// text, "<Date>" and "<date>" by the date text, then "<IPv6Address>" and "<ipv6address>" by the
// IPv6 address, unbracketed (a page that links to it writes "http://[<IPv6Address>]/"). Matching
// is case-sensitive; time and date come from the one reading `now`, so they are the same
// everywhere in the page.
void ExpandTemplate(std::string& page, std::string_view ipAddress, std::string_view ipv6Address,
                    const LocalDateTime& now);

} // namespace tovra
