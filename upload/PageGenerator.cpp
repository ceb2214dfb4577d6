#include "upload/PageGenerator.h"

#include "framework/Clock.h"
#include "framework/File.h"
#include "upload/TemplateExpander.h"
#include "upload/TemplatePath.h"

#include <windows.h>

#include <vector>

namespace tovra {

std::string TemporaryDirectory() {
    std::string directory(MAX_PATH + 1, '\0');
    DWORD length = ::GetTempPathA(static_cast<DWORD>(directory.size()), directory.data());
    if (length >= directory.size()) {
        // Too small: the result is the size needed, terminator included.
        directory.assign(length, '\0');
        length = ::GetTempPathA(static_cast<DWORD>(directory.size()), directory.data());
        if (length >= directory.size())
            length = 0;
    }
    directory.resize(length);
    return directory;
}

std::string ProgramFolder() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        // A full buffer means the name was cut; older systems say so only by filling it.
        if (length < path.size() - 1)
            return std::string(FolderOf(std::string_view(path.data(), length)));
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}

PageGenerator::PageGenerator() : PageGenerator(TemporaryDirectory(), ProgramFolder(), CurrentLocalTime) {}

PageGenerator::PageGenerator(std::string pageDirectory, std::string programFolder, Clock clock)
    : pagePath_(std::move(pageDirectory) + kPageFileName), programFolder_(std::move(programFolder)),
      clock_(std::move(clock)) {}

PageGenerator::Result PageGenerator::Generate(std::string_view templatePath,
                                              std::string_view ipAddress) const {
    Result result;
    auto fail = [&result](Step step, const File& file) {
        result.failedStep = step;
        result.errorCode = file.LastError();
        return result;
    };

    File source;
    if (!source.Open(ResolveAgainstFolder(programFolder_, templatePath), File::Mode::Read))
        return fail(Step::OpenTemplate, source);
    File page;
    if (!page.Open(pagePath_, File::Mode::CreateExclusive))
        return fail(Step::CreatePage, page);

    std::string text;
    char chunk[kChunkSize];
    for (;;) {
        std::uint32_t count = 0;
        if (!source.Read(chunk, sizeof chunk, count)) {
            page.Close();
            ::DeleteFileA(pagePath_.c_str());
            return fail(Step::ReadTemplate, source);
        }
        if (count == 0)
            break;
        AppendChunkText(text, chunk, count);
    }

    ExpandTemplate(text, ipAddress, clock_());

    if (!page.Write(text.data(), text.size())) {
        Result failed = fail(Step::WritePage, page);
        page.Close();
        ::DeleteFileA(pagePath_.c_str());
        return failed;
    }
    page.Close();
    result.pagePath = pagePath_;
    return result;
}

} // namespace tovra
