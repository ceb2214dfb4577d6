#pragma once
// Makes the page to publish: reads the template in 4096-byte chunks, fills in the addresses, time
// and date, and writes the result to "Tovra.tmp" in the user's temporary directory, a fixed path
// that each run overwrites. The folders are UTF-16 paths (the temporary directory lies under the
// user's profile, whose name the system code page may not be able to spell); the template path
// is the stored setting, a code-page text. Runs on whichever thread uploads; it holds no lock, and the page
// file is opened exclusively, so a second generation at the same moment fails rather than mixing pages.

#include "framework/TimeFormat.h"

#include <functional>
#include <string>
#include <string_view>

namespace tovra {

class PageGenerator {
public:
    static constexpr wchar_t kPageFileName[] = L"Tovra.tmp";
    static constexpr unsigned kChunkSize = 4096;

    using Clock = std::function<LocalDateTime()>;

    enum class Step { None, OpenTemplate, CreatePage, ReadTemplate, WritePage };

    struct Result {
        // The generated page's full path; empty when no page was produced.
        std::wstring pagePath;
        // Where it failed, with the system's error code, for the caller to report.
        Step failedStep = Step::None;
        unsigned long errorCode = 0;

        explicit operator bool() const noexcept { return !pagePath.empty(); }
    };

    // The user's temporary directory, the program's own folder and the local time.
    PageGenerator();
    // For callers that must not share the user's page file or clock. `pageDirectory` and
    // `programFolder` end with a separator.
    PageGenerator(std::wstring pageDirectory, std::wstring programFolder, Clock clock);

    // A relative `templatePath` is taken from the program's folder. When the template cannot be
    // opened nothing is created or changed; when the page cannot be read or written in full (a
    // template too large for memory included) the page file is removed, so no half page is ever
    // left to be sent.
    Result Generate(std::string_view templatePath, std::string_view ipAddress,
                    std::string_view ipv6Address = {}) const;

    // Where the page goes; empty when the temporary directory is unknown (then nothing is generated).
    std::wstring PagePath() const;

private:
    std::wstring pageDirectory_;
    std::wstring programFolder_;
    Clock clock_;
};

// The temporary directory as GetTempPathW reports it, with its trailing separator.
std::wstring TemporaryDirectory();
// The folder of the running program file, with its trailing separator.
std::wstring ProgramFolder();

} // namespace tovra
