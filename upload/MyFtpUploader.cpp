#include "upload/MyFtpUploader.h"

#include "upload/RemotePath.h"

#include <algorithm>
#include <string>

namespace tovra {
namespace {

// The longest error text the log takes from WinINet, as the program always has.
constexpr std::size_t kErrorTextLimit = 255;

std::string SystemMessage(DWORD error) {
    char buffer[kErrorTextLimit + 1] = {};
    const DWORD flags = FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
    // WinINet's codes have their texts in wininet.dll, not in the system's table.
    DWORD length = ::FormatMessageA(flags | FORMAT_MESSAGE_FROM_HMODULE, ::GetModuleHandleA("wininet.dll"),
                                    error, 0, buffer, sizeof buffer, nullptr);
    if (length == 0)
        length = ::FormatMessageA(flags | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, buffer,
                                  sizeof buffer, nullptr);
    return std::string(buffer, length);
}

// The server's last reply on this thread ("530 Login incorrect."), which WinINet keeps for the
// FTP errors it has no text of its own for.
std::string LastServerReply() {
    DWORD code = 0;
    char buffer[kErrorTextLimit + 1] = {};
    DWORD length = sizeof buffer;
    if (!::InternetGetLastResponseInfoA(&code, buffer, &length))
        return std::string();
    return std::string(buffer, std::min<std::size_t>(length, kErrorTextLimit));
}

// One line for the log: the platform's text for the error, else the server's reply; line breaks
// removed, because the log gives every text a line of its own.
std::string ConnectErrorText(DWORD error) {
    std::string text = error == ERROR_INTERNET_EXTENDED_ERROR ? std::string() : SystemMessage(error);
    if (text.find_first_not_of(" \t\r\n") == std::string::npos)
        text = LastServerReply();
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }),
               text.end());
    if (text.find_first_not_of(" \t") == std::string::npos)
        text.clear();
    return text;
}

void ShowMessageBox(const char* text) {
    ::MessageBoxA(nullptr, text, "Tovra", MB_OK);
}

} // namespace

// Arms a one-shot timer for one blocking step; when it fires first, the uploader's handles are
// closed, which wakes the step. The destructor waits for a firing that has begun, so the step
// never outlives its deadline's effect.
class CMyFtpUploader::StepDeadline {
public:
    StepDeadline(CMyFtpUploader& owner, DWORD milliseconds) : owner_(owner) {
        if (!::CreateTimerQueueTimer(&timer_, nullptr, &StepDeadline::Fire, this, milliseconds, 0,
                                     WT_EXECUTEONLYONCE))
            timer_ = nullptr;
    }
    ~StepDeadline() {
        if (timer_ != nullptr)
            ::DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    }
    StepDeadline(const StepDeadline&) = delete;
    StepDeadline& operator=(const StepDeadline&) = delete;

private:
    static void CALLBACK Fire(void* parameter, BOOLEAN) {
        static_cast<StepDeadline*>(parameter)->owner_.Abort(Interruption::TimedOut);
    }

    CMyFtpUploader& owner_;
    HANDLE timer_ = nullptr;
};

CMyFtpUploader::CMyFtpUploader(LogSink& log, PageGenerator generator)
    : log_(log), generator_(std::move(generator)), errorBox_(&ShowMessageBox) {}

CMyFtpUploader::~CMyFtpUploader() {
    CloseConnection();
}

bool CMyFtpUploader::CloseConnection() {
    std::unique_ptr<CStatusLogSession> session;
    UniqueInternetHandle connection;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        session = std::move(session_);
        connection = std::move(connection_);
    }
    // The connection before its session; closing raises status lines, so no lock is held.
    connection.reset();
    session.reset();
    return true;
}

void CMyFtpUploader::Cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    Abort(Interruption::Cancelled);
}

void CMyFtpUploader::Abort(Interruption why) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (interruption_ == Interruption::None)
        interruption_ = why;
    // Safe under the lock: the status lines of a close on this thread are dropped by the session.
    connection_.reset();
    // Closing the session also wakes a connect that has no connection handle yet. The session
    // object itself stays: notifications may still be on their way to it.
    if (session_)
        session_->Interrupt();
}

HINTERNET CMyFtpUploader::ConnectionHandle() {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection_.get();
}

CMyFtpUploader::Interruption CMyFtpUploader::CurrentInterruption() {
    std::lock_guard<std::mutex> lock(mutex_);
    return interruption_;
}

void CMyFtpUploader::ReportInterruption(Interruption why) {
    if (why == Interruption::TimedOut)
        Log("The server did not answer within " + std::to_string((stepTimeoutMs_ + 999) / 1000) +
            " seconds.");
    // A cancelled upload belongs to a program that is closing: nothing is left to tell.
}

void CMyFtpUploader::ReportConnectFailure(DWORD error) {
    const std::string text = ConnectErrorText(error);
    if (!text.empty())
        Log(text);
    else if (errorBox_)
        errorBox_(kNoErrorTextMessage);
}

DWORD CMyFtpUploader::TransferTimeout(const std::string& pagePath) const {
    // A large page on a slow line must not be cut off: allow 10 KB a second on top of the bound.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(pagePath.c_str(), GetFileExInfoStandard, &data))
        return stepTimeoutMs_;
    const unsigned long long bytes =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const unsigned long long extra = std::min<unsigned long long>(bytes / 10, 24ULL * 3600 * 1000);
    return static_cast<DWORD>(stepTimeoutMs_ + extra);
}

PageGenerator::Result CMyFtpUploader::GenerateTemplateFile() const {
    return generator_.Generate(site.templateFile, ipAddress_);
}

bool CMyFtpUploader::Upload() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (cancelled_)
            return false;
        interruption_ = Interruption::None;
    }

    auto created = std::make_unique<CStatusLogSession>(&log_);
    CStatusLogSession* session = created.get();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        session_ = std::move(created);
    }
    if (!session->Open())
        return false;
    session->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, stepTimeoutMs_);
    session->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, stepTimeoutMs_);
    session->SetOption(INTERNET_OPTION_SEND_TIMEOUT, stepTimeoutMs_);
    if (CurrentInterruption() != Interruption::None) // cancelled while the session opened
        return false;

    HINTERNET connection = nullptr;
    DWORD error = 0;
    {
        StepDeadline deadline(*this, stepTimeoutMs_);
        connection = ::InternetConnectA(
            session->Handle(), site.serverAddress.c_str(), static_cast<INTERNET_PORT>(site.port & 0xFFFF),
            site.userName.c_str(), site.password.c_str(), INTERNET_SERVICE_FTP,
            site.passiveMode != 0 ? INTERNET_FLAG_PASSIVE : 0, session->Context());
        error = ::GetLastError();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (interruption_ == Interruption::None)
            connection_.reset(connection);
        else if (connection != nullptr)
            ::InternetCloseHandle(connection); // it raced the deadline and lost
    }
    if (const Interruption why = CurrentInterruption(); why != Interruption::None) {
        ReportInterruption(why);
        return false;
    }
    if (connection == nullptr) {
        ReportConnectFailure(error);
        return false;
    }

    const RemotePath remote = SplitRemotePath(site.remotePath);
    Log("Setting remote directory...");
    // A path without a directory part means the login directory; servers refuse a change to "".
    if (!remote.directory.empty()) {
        BOOL changed = FALSE;
        {
            StepDeadline deadline(*this, stepTimeoutMs_);
            changed = ::FtpSetCurrentDirectoryA(ConnectionHandle(), remote.directory.c_str());
        }
        if (const Interruption why = CurrentInterruption(); why != Interruption::None) {
            ReportInterruption(why);
            return false;
        }
        if (!changed)
            return false;
    }

    Log("Generating Template file...");
    const PageGenerator::Result page = GenerateTemplateFile();
    if (!page)
        return false;

    Log("Uploading file...");
    BOOL sent = FALSE;
    {
        StepDeadline deadline(*this, TransferTimeout(page.pagePath));
        sent = ::FtpPutFileA(ConnectionHandle(), page.pagePath.c_str(), remote.fileName.c_str(),
                             FTP_TRANSFER_TYPE_ASCII, session->Context());
    }
    const Interruption why = CurrentInterruption();
    const bool uploaded = sent && why == Interruption::None;
    if (uploaded)
        Log("File uploaded successfully!");
    ::DeleteFileA(page.pagePath.c_str());
    ReportInterruption(why);
    return uploaded;
}

} // namespace tovra
