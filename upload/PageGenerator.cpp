#include "upload/PageGenerator.h"

#include "framework/Clock.h"
#include "upload/File.h"
#include "framework/ModuleFolder.h"
#include "framework/WideText.h"
#include "upload/TemplateExpander.h"
#include "upload/TemplatePath.h"

#include <windows.h>

#include <new>

namespace tovra {

std::wstring TemporaryDirectory() {
    std::wstring directory(MAX_PATH + 1, L'\0');
    DWORD length = ::GetTempPathW(static_cast<DWORD>(directory.size()), directory.data());
    if (length >= directory.size()) {
        // Too small: the result is the size needed, terminator included.
        directory.assign(length, L'\0');
        length = ::GetTempPathW(static_cast<DWORD>(directory.size()), directory.data());
        if (length >= directory.size())
            length = 0;
    }
    directory.resize(length);
    return directory;
}

PageGenerator::PageGenerator() : PageGenerator(TemporaryDirectory(), ModuleFolder(), CurrentLocalTime) {}

PageGenerator::PageGenerator(std::wstring pageDirectory, std::wstring programFolder, Clock clock)
    : pageDirectory_(std::move(pageDirectory)), programFolder_(std::move(programFolder)),
      clock_(std::move(clock)) {}

std::wstring PageGenerator::PagePath() const {
    return pageDirectory_.empty() ? std::wstring() : pageDirectory_ + kPageFileName;
}

PageGenerator::Result PageGenerator::Generate(std::string_view templatePath, std::string_view ipAddress,
                                              std::string_view ipv6Address) const {
    Result result;
    auto fail = [&result](Step step, unsigned long errorCode) {
        result.failedStep = step;
        result.errorCode = errorCode;
        return result;
    };
    // Without a temporary directory the bare name would land in whatever the current directory is.
    if (pageDirectory_.empty())
        return fail(Step::CreatePage, ERROR_PATH_NOT_FOUND);

    File source;
    if (!source.Open(ResolveAgainstFolder(programFolder_, WidenAnsi(templatePath)), File::Mode::Read))
        return fail(Step::OpenTemplate, source.LastError());
    const std::wstring pagePath = PagePath();
    File page;
    if (!page.Open(pagePath, File::Mode::CreateExclusive))
        return fail(Step::CreatePage, page.LastError());
    // From here on a failure must not leave a half page behind for anyone to send.
    auto discardPage = [&] {
        page.Close();
        ::DeleteFileW(pagePath.c_str());
    };

    std::string text;
    try {
        char chunk[kChunkSize];
        for (;;) {
            std::uint32_t count = 0;
            if (!source.Read(chunk, sizeof chunk, count)) {
                discardPage();
                return fail(Step::ReadTemplate, source.LastError());
            }
            if (count == 0)
                break;
            AppendChunkText(text, chunk, count);
        }
        ExpandTemplate(text, ipAddress, ipv6Address, clock_());
    } catch (const std::bad_alloc&) {
        // A template picked by mistake (a video, a disk image) can be larger than the address space.
        discardPage();
        return fail(Step::ReadTemplate, ERROR_NOT_ENOUGH_MEMORY);
    }

    if (!page.Write(text.data(), text.size())) {
        const unsigned long error = page.LastError();
        discardPage();
        return fail(Step::WritePage, error);
    }
    page.Close();
    result.pagePath = pagePath;
    return result;
}

} // namespace tovra
