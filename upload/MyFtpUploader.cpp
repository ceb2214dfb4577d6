#include "upload/MyFtpUploader.h"

#include "upload/RemotePath.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace tovra {
namespace {

// The longest error text the log takes from WinINet, as the program always has.
constexpr std::size_t kErrorTextLimit = 255;

// One line for the log: the platform's text for the error, else the server's last reply, which
// is all there is for the FTP errors that Wine has no text for.
std::string ConnectErrorText(const InternetError& error) {
    std::string text = error.HasText() ? error.Text() : error.ServerReply();
    text.resize(std::min(text.size(), kErrorTextLimit));
    if (text.find_first_not_of(" \t") == std::string::npos)
        text.clear();
    return text;
}

} // namespace

CMyFtpUploader::CMyFtpUploader(LogSink& log, PageGenerator generator)
    : log_(log), generator_(std::move(generator)), cancel_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

CMyFtpUploader::~CMyFtpUploader() {
    CloseConnection();
}

bool CMyFtpUploader::CloseConnection() {
    // The connection before its session; each close reports itself in the log.
    connection_.reset();
    session_.reset();
    if (!leftoverPage_.empty())
        DeletePage(std::wstring(leftoverPage_));
    return true;
}

void CMyFtpUploader::DeletePage(const std::wstring& pagePath) {
    // A transfer we walked away from may still be reading the file inside WinINet, which opens
    // it without sharing; it lets go when its own wait ends, and the next chance deletes it.
    const bool gone =
        ::DeleteFileW(pagePath.c_str()) || ::GetFileAttributesW(pagePath.c_str()) == INVALID_FILE_ATTRIBUTES;
    leftoverPage_ = gone ? std::wstring() : pagePath;
}

void CMyFtpUploader::Cancel() noexcept {
    if (cancel_)
        ::SetEvent(cancel_.get());
}

bool CMyFtpUploader::Cancelled() const noexcept {
    // Without its event the uploader could not be stopped, so it does not start at all.
    return !cancel_ || ::WaitForSingleObject(cancel_.get(), 0) == WAIT_OBJECT_0;
}

bool CMyFtpUploader::ReportInterruption() {
    if (Cancelled())
        return true; // a program that is closing: nothing is left to tell
    if (!session_->Aborted())
        return false;
    // Only our own deadline aborts a session that was not cancelled.
    Log("The server did not answer within " + std::to_string((stepTimeoutMs_ + 999) / 1000) + " seconds.");
    return true;
}

void CMyFtpUploader::ReportStepFailure(const InternetError& error) {
    if (ReportInterruption())
        return;
    // Every posting that fails ends with a line that says why: the server's reply ("550 ..."),
    // or WinINet's own words, such as its own time-out on a reply that came too late.
    const std::string text = ConnectErrorText(error);
    Log(text.empty() ? "The server refused the step (error " + std::to_string(error.Code()) + ")." : text);
}

void CMyFtpUploader::ReportPageFailure(const PageGenerator::Result& page) {
    const bool reading = page.failedStep == PageGenerator::Step::OpenTemplate ||
                         page.failedStep == PageGenerator::Step::ReadTemplate;
    Log(std::string(reading ? "The template file could not be read" : "The page file could not be written") +
        " (system error " + std::to_string(page.errorCode) + ").");
}

void CMyFtpUploader::ReportConnectFailure(const InternetError& error) {
    if (ReportInterruption())
        return;
    const std::string text = ConnectErrorText(error);
    if (!text.empty())
        Log(text);
    else if (errorBox_)
        errorBox_(kNoErrorTextMessage);
}

DWORD CMyFtpUploader::TransferTimeout(const std::wstring& pagePath) const {
    // A large page on a slow line must not be cut off: allow 10 KB a second on top of the bound.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(pagePath.c_str(), GetFileExInfoStandard, &data))
        return stepTimeoutMs_;
    const unsigned long long bytes =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const unsigned long long extra = std::min<unsigned long long>(bytes / 10, 24ULL * 3600 * 1000);
    return static_cast<DWORD>(stepTimeoutMs_ + extra);
}

PageGenerator::Result CMyFtpUploader::GenerateTemplateFile() const {
    return generator_.Generate(site.templateFile, ipAddress_, ipv6Address_);
}

bool CMyFtpUploader::Upload() {
    CloseConnection();
    if (Cancelled())
        return false;

    try {
        session_ = std::make_unique<CStatusLogSession>(&log_);
    } catch (const InternetError&) {
        return false;
    }
    // WinINet's own bounds, where the platform keeps them; the session's are the ones we rely on.
    session_->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, stepTimeoutMs_);
    session_->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, stepTimeoutMs_);
    session_->SetOption(INTERNET_OPTION_SEND_TIMEOUT, stepTimeoutMs_);
    session_->SetStopEvent(cancel_.get());
    session_->SetStepTimeout(std::chrono::milliseconds(stepTimeoutMs_));

    try {
        connection_ = std::make_unique<FtpConnection>(
            *session_, site.serverAddress, site.userName, site.password,
            static_cast<INTERNET_PORT>(site.port & 0xFFFF), site.passiveMode != 0);
    } catch (const InternetError& error) {
        ReportConnectFailure(error);
        return false;
    }

    const RemotePath remote = SplitRemotePath(site.remotePath);
    Log("Setting remote directory...");
    // A path without a directory part means the login directory; servers refuse a change to "".
    if (!remote.directory.empty()) {
        try {
            connection_->SetCurrentDirectory(remote.directory);
        } catch (const InternetError& error) {
            ReportStepFailure(error);
            return false;
        }
    }

    Log("Generating Template file...");
    const PageGenerator::Result page = GenerateTemplateFile();
    if (!page) {
        ReportPageFailure(page);
        return false;
    }

    Log("Uploading file...");
    session_->SetStepTimeout(std::chrono::milliseconds(TransferTimeout(page.pagePath)));
    try {
        connection_->PutFile(page.pagePath, remote.fileName, FTP_TRANSFER_TYPE_ASCII);
    } catch (const InternetError& error) {
        DeletePage(page.pagePath);
        ReportStepFailure(error);
        return false;
    }
    Log("File uploaded successfully!");
    DeletePage(page.pagePath);
    return true;
}

} // namespace tovra
