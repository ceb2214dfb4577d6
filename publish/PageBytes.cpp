#include "publish/PageBytes.h"

#include "framework/FixedText.h"
#include "upload/File.h"

namespace tovra {

std::optional<std::string> MakePageBytes(LogSink& log, const PageGenerator& generator,
                                         const Settings& settings, const Posting& posting) {
    log.AppendLog("Generating Template file...");
    const PageGenerator::Result page =
        generator.Generate(FieldText(settings.LocalTemplateFile), posting.ipv4, posting.ipv6);
    if (!page) {
        const bool reading = page.failedStep == PageGenerator::Step::OpenTemplate ||
                             page.failedStep == PageGenerator::Step::ReadTemplate;
        log.AppendLog(std::string(reading ? "The template file could not be read"
                                          : "The page file could not be written") +
                      " (system error " + std::to_string(page.errorCode) + ").");
        return std::nullopt;
    }
    std::string bytes;
    File file;
    bool read = file.Open(page.pagePath, File::Mode::Read);
    for (std::uint32_t got = 1; read && got > 0;) {
        char chunk[PageGenerator::kChunkSize];
        read = file.Read(chunk, sizeof chunk, got);
        bytes.append(chunk, read ? got : 0);
    }
    const unsigned long error = file.LastError();
    file.Close();
    ::DeleteFileW(page.pagePath.c_str());
    if (!read) {
        log.AppendLog("The page file could not be read (system error " + std::to_string(error) + ").");
        return std::nullopt;
    }
    return bytes;
}

} // namespace tovra
