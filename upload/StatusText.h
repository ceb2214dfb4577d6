#pragma once
// The log text of one internet status notification, as the user sees it in the log:
// "[thread id] what happened". Kept apart from the session so it can be checked on any platform.

#include <string>
#include <string_view>

namespace tovra {

// info is the notification's text, used by the name resolution codes (10 and 11) only.
std::string FormatStatusText(unsigned long threadId, unsigned long status, std::string_view info);

} // namespace tovra
