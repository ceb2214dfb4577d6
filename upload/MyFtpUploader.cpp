#include "upload/MyFtpUploader.h"

#include "upload/DataAddressGuard.h"
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
    bool noErrorText = false;   // a failed connection carried no text at all
    bool renameRefused = false; // the server turned out to refuse every rename
};

namespace {

// The longest error text the log takes from WinINet, as the program always has.
constexpr std::size_t kErrorTextLimit = 255;
// The page goes to this name beside it first, so that the page itself only ever changes whole.
constexpr char kPartSuffix[] = ".part";
constexpr DWORD kChunkBytes = 8192;

// Everything the helper needs, copied: it must not reach back into the uploader.
struct FtpJob {
    CFtpSite site;
    PageGenerator generator;
    std::string ipAddress;
    std::string ipv6Address;
    DWORD stepTimeoutMs;
    bool renameRefused; // already known: store under the page's own name
    std::shared_ptr<DataAddressGuard> guard;
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

bool IsPositiveCompletion(const std::string& reply) {
    return !reply.empty() && reply[0] == '2';
}

// Sends the page file under remoteName over a data connection of its own and tells whether the
// server confirmed that it holds all of it. The server's last word on a store comes with the
// closing of the file handle, so that is where success is read, never from the writes.
bool SendPage(InternetExchange& exchange, HINTERNET connection, const std::wstring& pagePath,
              const std::string& remoteName, const FtpJob& job, bool viaPart) {
    const DataAddressGuard& guard = *job.guard;
    const bool passive = job.site.passiveMode != 0;
    const UniqueFileHandle page(::CreateFileW(pagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!page) {
        exchange.Log("The page file could not be read (system error " + std::to_string(::GetLastError()) +
                     ").");
        return false;
    }
    // A passive data connection goes wherever the server's PASV reply says. Asking for one first,
    // without a transfer, lets the guard read the reply before WinINet connects anywhere; the
    // guard still watches the transfer's own reply, for a server that answers each PASV its way.
    if (passive)
        ::FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_ASCII, "PASV", exchange.Context(), nullptr);
    UniqueInternetHandle file;
    if (guard.OtherAddress().empty())
        file.reset(::FtpOpenFileA(connection, remoteName.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_ASCII,
                                  exchange.Context()));
    if (const std::string other = guard.OtherAddress(); !other.empty()) {
        exchange.Log("The server named another address (" + other +
                     ") for the page's data connection, so the page was not sent.");
        return false;
    }
    if (!file) {
        const InternetError error = InternetError::FromLastError();
        ReportStepFailure(exchange, error);
        SuggestPassiveModeAfter(exchange, job, error);
        return false;
    }
    std::string buffer(kChunkBytes, '\0');
    DWORD read = 0;
    bool readable = true;
    DWORD readError = ERROR_SUCCESS;
    while ((readable = ::ReadFile(page.get(), buffer.data(), kChunkBytes, &read, nullptr) != FALSE) &&
           read > 0) {
        DWORD written = 0;
        if (!exchange.Wanted() || !::InternetWriteFile(file.get(), buffer.data(), read, &written) ||
            written != read)
            break;
    }
    if (!readable)
        readError = ::GetLastError();
    const bool allSent = readable && read == 0;
    file.reset();
    const std::string reply = InternetError::LastResponseText();
    if (allSent && IsPositiveCompletion(reply))
        return true;
    if (!readable)
        exchange.Log("The page file could not be read (system error " + std::to_string(readError) + ").");
    else if (reply.empty() || reply[0] == '1')
        // The data connection ended without the server's final word: the last reply is still
        // its "150 ..." go-ahead, which says nothing about what went wrong.
        exchange.Log(viaPart ? "The transfer was interrupted; the page on the server stays as it was."
                             : "The transfer was interrupted; the page on the server may be incomplete.");
    else {
        exchange.Log(reply);
        SuggestPassiveModeAfter(exchange, job, InternetError(ERROR_INTERNET_EXTENDED_ERROR, reply, reply));
    }
    return false;
}

// Where a rename's refusal says the command itself is unknown, deleting the page would not help.
bool RefusesRenaming(const std::string& reply) {
    return reply.rfind("500", 0) == 0 || reply.rfind("502", 0) == 0 || reply.rfind("504", 0) == 0;
}

enum class Replacement { Renamed, Refused, Failed };

// Renames the part file over the page. Some servers refuse to rename over an existing file: for
// them the page is deleted first, which leaves a moment without a page rather than a broken one.
Replacement ReplacePage(InternetExchange& exchange, HINTERNET connection, const std::string& part,
                        const std::string& name, DWORD stepTimeoutMs) {
    if (::FtpRenameFileA(connection, part.c_str(), name.c_str()))
        return Replacement::Renamed;
    if (!RefusesRenaming(InternetError::LastResponseText())) {
        if (!exchange.BeginStep(stepTimeoutMs))
            return Replacement::Failed;
        const bool deleted = ::FtpDeleteFileA(connection, name.c_str()) != FALSE;
        if (!exchange.BeginStep(stepTimeoutMs))
            return Replacement::Failed;
        if (deleted && ::FtpRenameFileA(connection, part.c_str(), name.c_str())) {
            exchange.Log("The server would not rename over the page, so the old page was deleted first.");
            return Replacement::Renamed;
        }
    }
    if (exchange.BeginStep(stepTimeoutMs))
        ::FtpDeleteFileA(connection, part.c_str()); // no stray file, where the server allows that much
    return Replacement::Refused;
}

// Status notifications are where WinINet shows which address it connects to and what the server
// answered; the guard watches both.
void WatchDataAddress(DataAddressGuard& guard, DWORD status, const void* info, DWORD length) {

    const DWORD lastError = ::GetLastError(); // the call under way may still read its own
    if ((status == INTERNET_STATUS_CONNECTING_TO_SERVER || status == INTERNET_STATUS_CONNECTED_TO_SERVER) &&
        info) {
        // Documented as a SOCKADDR; Wine passes the address as text, which never starts with the
        // two bytes of AF_INET (2). A sockaddr_in: family, port, then the four address bytes.
        const auto* bytes = static_cast<const unsigned char*>(info);
        if (length >= 16 && bytes[0] == 2 && bytes[1] == 0)
            guard.Connecting(std::to_string(bytes[4]) + "." + std::to_string(bytes[5]) + "." +
                             std::to_string(bytes[6]) + "." + std::to_string(bytes[7]));
        else
            guard.Connecting(std::string(reinterpret_cast<const char*>(bytes),
                                         strnlen(reinterpret_cast<const char*>(bytes), length)));
    } else if (status == INTERNET_STATUS_RESPONSE_RECEIVED) {
        guard.Replied(InternetError::LastResponseText());
    }
    ::SetLastError(lastError);
}

// The status lines carry the posting thread's id, as the lines of a synchronous session did.
InternetExchange::StatusText StatusLines(DWORD poster, std::shared_ptr<DataAddressGuard> guard) {
    return [poster, guard](DWORD status, const void* info, DWORD length) {
        WatchDataAddress(*guard, status, info, length);
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
    const HINTERNET connection = transfer.connection.get();
    // A path that names no file keeps its old failure: there is nothing to rename over.
    if (job.renameRefused || remote.fileName.empty()) {
        if (!SendPage(exchange, connection, page.pagePath, remote.fileName, job, false))
            return;
    } else {
        const std::string part = remote.fileName + kPartSuffix;
        if (!SendPage(exchange, connection, page.pagePath, part, job, true) ||
            !exchange.BeginStep(job.stepTimeoutMs))
            return;
        switch (ReplacePage(exchange, connection, part, remote.fileName, job.stepTimeoutMs)) {
        case Replacement::Renamed:
            break;
        case Replacement::Failed:
            return;
        case Replacement::Refused:
            exchange.Log("The server refuses to rename files, so the page is written in place: a cut "
                         "transfer can leave it incomplete there.");
            transfer.renameRefused = true;
            if (!exchange.BeginStep(TransferTimeout(page.pagePath, job.stepTimeoutMs)) ||
                !SendPage(exchange, connection, page.pagePath, remote.fileName, job, false))
                return;
        }
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

bool CMyFtpUploader::Upload() {
    CloseConnection();
    if (Cancelled())
        return false;
    // Declared first so that it goes last: the transfer's handles, if ours to close, report their
    // closing to it.
    std::shared_ptr<InternetExchange> exchange;
    const auto transfer = std::make_shared<FtpTransfer>();
    const std::string server = site.serverAddress + ":" + std::to_string(site.port & 0xFFFF);
    const FtpJob job{site,
                     generator_,
                     ipAddress_,
                     ipv6Address_,
                     stepTimeoutMs_,
                     server == renameRefusedBy_,
                     std::make_shared<DataAddressGuard>()};
    InternetExchange::Outcome outcome = InternetExchange::Outcome::NoThread;
    try {
        exchange = InternetExchange::Create(
            server, [transfer, job](InternetExchange& exchange) { Transfer(exchange, *transfer, job); },
            [this](std::string_view line) { Log(line); }, StatusLines(::GetCurrentThreadId(), job.guard));
        outcome = exchange->Perform(cancel_.get(), stepTimeoutMs_);
    } catch (const std::exception&) {
        // No event for the exchange: as good as no thread.
    }
    switch (outcome) {
    case InternetExchange::Outcome::Finished:
        transfer_ = transfer;
        exchange_ = exchange;
        if (transfer->renameRefused)
            renameRefusedBy_ = server; // said once; later postings store in place without a word
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
