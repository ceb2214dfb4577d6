#include "upload/MyFtpUploader.h"

#include "framework/WideText.h"
#include "upload/RemotePath.h"
#include "upload/StatusText.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace tovra {

// What an upload's helper leaves to the posting thread: the open session and connection (closed
// connection first, by the next CloseConnection), and how it ended.
struct FtpTransfer {
    UniqueInternetHandle session;
    UniqueInternetHandle connection;
    bool uploaded = false;
    bool noErrorText = false; // a failed connection carried no text at all
};

namespace {

// The longest error text the log takes from WinINet, as the program always has.
constexpr std::size_t kErrorTextLimit = 255;

// Everything the helper needs, copied: it must not reach back into the uploader.
struct FtpJob {
    CFtpSite site;
    PageGenerator generator;
    std::string ipAddress;
    std::string ipv6Address;
    DWORD stepTimeoutMs;
};

// One line for the log: the platform's text for the error, else the server's last reply, which
// is all there is for the FTP errors that Wine has no text for.
std::string ConnectErrorText(const InternetError& error) {
    std::string text = error.HasText() ? error.Text() : error.ServerReply();
    text.resize(std::min(text.size(), kErrorTextLimit));
    if (text.find_first_not_of(" \t") == std::string::npos)
        text.clear();
    return text;
}

// Every posting that fails ends with a line that says why: the server's reply ("550 ..."), or
// WinINet's own words, such as its own time-out on a reply that came too late. It must be read on
// the thread whose call failed.
void ReportStepFailure(InternetExchange& exchange,
                       const InternetError& error = InternetError::FromLastError()) {
    const std::string text = ConnectErrorText(error);
    exchange.Log(text.empty() ? "The server refused the step (error " + std::to_string(error.Code()) + ")."
                              : text);
}

// In active mode the server connects back to the PC for the data, which a firewall's first-use
// prompt (it needs an administrator) or a router's NAT stops; passive mode connects outwards. The
// server says so with 425 or 426, or the data connection is cut without a reply code.
void SuggestPassiveModeAfter(InternetExchange& exchange, const FtpJob& job, const InternetError& error) {
    const std::string& reply = error.ServerReply();
    const bool dataConnectionFailed = reply.rfind("425", 0) == 0 || reply.rfind("426", 0) == 0 ||
                                      error.Code() == ERROR_INTERNET_CONNECTION_ABORTED ||
                                      error.Code() == ERROR_INTERNET_CONNECTION_RESET;
    if (job.site.passiveMode == 0 && dataConnectionFailed)
        exchange.Log("The data connection failed in active mode, as it does behind a firewall or a router: "
                     "try ticking Passive Mode on the Connection tab.");
}

std::string PageFailureLine(const PageGenerator::Result& page) {
    const bool reading = page.failedStep == PageGenerator::Step::OpenTemplate ||
                         page.failedStep == PageGenerator::Step::ReadTemplate;
    return std::string(reading ? "The template file could not be read"
                               : "The page file could not be written") +
           " (system error " + std::to_string(page.errorCode) + ").";
}

DWORD TransferTimeout(const std::wstring& pagePath, DWORD stepTimeoutMs) {
    // A large page on a slow line must not be cut off: allow 10 KB a second on top of the bound.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(pagePath.c_str(), GetFileExInfoStandard, &data))
        return stepTimeoutMs;
    const unsigned long long bytes =
        (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const unsigned long long extra = std::min<unsigned long long>(bytes / 10, 24ULL * 3600 * 1000);
    return static_cast<DWORD>(stepTimeoutMs + extra);
}

// Opens the session (agent "Tovra", direct access) and logs in. Direct, never the system's proxy:
// on Windows a proxy set in Settings applies to every protocol, and WinINet cannot carry FTP
// through an HTTP proxy, so every upload would fail on such a PC.
bool Connect(InternetExchange& exchange, FtpTransfer& transfer, const FtpJob& job) {
    try {
        transfer.session = exchange.OpenSession("Tovra", INTERNET_OPEN_TYPE_DIRECT);
    } catch (const InternetError& error) {
        exchange.Log(ConnectErrorText(error));
        return false;
    }
    // WinINet's own bounds, where the platform keeps them; the exchange's are the ones we rely on.
    for (DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
        ::InternetSetOptionA(transfer.session.get(), option, const_cast<DWORD*>(&job.stepTimeoutMs),
                             sizeof job.stepTimeoutMs);
    transfer.connection.reset(
        ::InternetConnectA(transfer.session.get(), job.site.serverAddress.c_str(),
                           static_cast<INTERNET_PORT>(job.site.port & 0xFFFF), job.site.userName.c_str(),
                           job.site.password.c_str(), INTERNET_SERVICE_FTP,
                           job.site.passiveMode != 0 ? INTERNET_FLAG_PASSIVE : 0, exchange.Context()));
    if (transfer.connection)
        return true;
    const std::string text = ConnectErrorText(InternetError::FromLastError());
    if (text.empty())
        transfer.noErrorText = true;
    exchange.Log(text);
    return false;
}

// The narrow call whenever the code page can name the local file, so that the remote name goes
// out exactly as it always has; the wide one only for a path that it cannot name, with the
// remote name widened from the code page, which WinINet narrows back to it for the wire.
bool PutFile(InternetExchange& exchange, HINTERNET connection, const std::wstring& localPath,
             const std::string& remoteName) {
    if (const std::optional<std::string> narrowPath = NarrowExactly(localPath))
        return ::FtpPutFileA(connection, narrowPath->c_str(), remoteName.c_str(), FTP_TRANSFER_TYPE_ASCII,
                             exchange.Context());
    return ::FtpPutFileW(connection, localPath.c_str(), WidenAnsi(remoteName).c_str(),
                         FTP_TRANSFER_TYPE_ASCII, exchange.Context());
}

// The status lines carry the posting thread's id, as the lines of a synchronous session did.
InternetExchange::StatusText StatusLines(DWORD poster) {
    return [poster](DWORD status, const void* info, DWORD length) {
        const bool named =
            status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_NAME_RESOLVED;
        const char* text = static_cast<const char*>(info);
        return FormatStatusText(poster, status,
                                named && text ? std::string(text, strnlen(text, length)) : std::string());
    };
}

// The whole upload on the exchange's helper: each step starts only while the poster still waits.
void Transfer(InternetExchange& exchange, FtpTransfer& transfer, const FtpJob& job) {
    if (!Connect(exchange, transfer, job) || !exchange.BeginStep(job.stepTimeoutMs))
        return;
    const RemotePath remote = SplitRemotePath(job.site.remotePath);
    exchange.Log("Setting remote directory...");
    // A path without a directory part means the login directory; servers refuse a change to "".
    if (!remote.directory.empty() &&
        !::FtpSetCurrentDirectoryA(transfer.connection.get(), remote.directory.c_str()))
        return ReportStepFailure(exchange);
    if (!exchange.BeginStep(job.stepTimeoutMs))
        return;
    exchange.Log("Generating Template file...");
    const PageGenerator::Result page =
        job.generator.Generate(job.site.templateFile, job.ipAddress, job.ipv6Address);
    if (!page)
        return exchange.Log(PageFailureLine(page));
    if (!exchange.BeginStep(TransferTimeout(page.pagePath, job.stepTimeoutMs))) {
        ::DeleteFileW(page.pagePath.c_str()); // generated just as the poster walked away
        return;
    }
    exchange.Log("Uploading file...");
    if (!PutFile(exchange, transfer.connection.get(), page.pagePath, remote.fileName)) {
        const InternetError error = InternetError::FromLastError();
        ReportStepFailure(exchange, error);
        return SuggestPassiveModeAfter(exchange, job, error);
    }
    exchange.Log("File uploaded successfully!");
    transfer.uploaded = true;
}

} // namespace

namespace {

// A handle of our own on the owner's stop event, or a new event when there is none; null when
// neither can be had, and then no upload starts.
HANDLE CancelEvent(HANDLE stop) {
    if (stop == nullptr)
        return ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE copy = nullptr;
    const HANDLE process = ::GetCurrentProcess();
    return ::DuplicateHandle(process, stop, process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS) ? copy : nullptr;
}

} // namespace

CMyFtpUploader::CMyFtpUploader(LogSink& log, PageGenerator generator, HANDLE stop)
    : log_(log), generator_(std::move(generator)), cancel_(CancelEvent(stop)) {}

CMyFtpUploader::~CMyFtpUploader() {
    CloseConnection();
}

bool CMyFtpUploader::CloseConnection() {
    // The connection before its session; each close reports itself in the log.
    transfer_.reset();
    exchange_.reset();
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

PageGenerator::Result CMyFtpUploader::GenerateTemplateFile() const {
    return generator_.Generate(site.templateFile, ipAddress_, ipv6Address_);
}

bool CMyFtpUploader::Upload() {
    CloseConnection();
    if (Cancelled())
        return false;
    // Declared first so that it goes last: the transfer's handles, if ours to close, report their
    // closing to it.
    std::shared_ptr<InternetExchange> exchange;
    const auto transfer = std::make_shared<FtpTransfer>();
    const FtpJob job{site, generator_, ipAddress_, ipv6Address_, stepTimeoutMs_};
    InternetExchange::Outcome outcome = InternetExchange::Outcome::NoThread;
    try {
        exchange = InternetExchange::Create(
            site.serverAddress + ":" + std::to_string(site.port & 0xFFFF),
            [transfer, job](InternetExchange& exchange) { Transfer(exchange, *transfer, job); },
            [this](std::string_view line) { Log(line); }, StatusLines(::GetCurrentThreadId()));
        outcome = exchange->Perform(cancel_.get(), stepTimeoutMs_);
    } catch (const std::exception&) {
        // No event for the exchange: as good as no thread.
    }
    switch (outcome) {
    case InternetExchange::Outcome::Finished:
        transfer_ = transfer;
        exchange_ = exchange;
        if (transfer->noErrorText && errorBox_)
            errorBox_(kNoErrorTextMessage);
        break;
    case InternetExchange::Outcome::TimedOut:
        Log("The server did not answer within " + std::to_string((stepTimeoutMs_ + 999) / 1000) +
            " seconds.");
        break;
    case InternetExchange::Outcome::Stopped:
        break; // a program that is closing: nothing is left to tell
    case InternetExchange::Outcome::ServerBusy:
        Log("The server still has not answered an earlier upload, so this one was not started.");
        return false;
    case InternetExchange::Outcome::NoThread:
        Log("Cannot start a thread for the network.");
        return false;
    }
    DeletePage(generator_.PagePath());
    return outcome == InternetExchange::Outcome::Finished && transfer->uploaded;
}

} // namespace tovra
