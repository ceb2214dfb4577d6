#pragma once
// Publishes the page: opens an internet session, logs in to the FTP server, changes to the remote
// directory, generates the page from the template, sends it in ASCII mode to a part file beside
// the page and renames that over the page, and deletes the page file again, reporting each step as
// a log line. The page on the server is replaced whole or not at all; only a server that refuses
// every rename gets the page written in place. A data connection that the server sends to any
// address but its own gets nothing. The session and the connection of an upload stay
// open until the next upload (or the destruction) closes them.
//
// Threads: Upload, CloseConnection and the setters run on the thread that posts, one upload at a
// time (the caller serialises them). Cancel may be called from any thread at any time: it only
// signals an event. The upload itself is an InternetExchange keyed by the server and port: the
// posting thread returns when a step has not ended within its bound (kUploadStepTimeoutMs, more
// for a large page), or at once on Cancel, even where WinINet under Wine stays blocked.

#include "framework/InternetExchange.h"
#include "framework/Win32Handles.h"
#include "upload/FtpSite.h"
#include "upload/LogSink.h"
#include "upload/PageGenerator.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tovra {

struct FtpTransfer;

inline constexpr DWORD kUploadStepTimeoutMs = 30000;
inline constexpr char kNoErrorTextMessage[] = "Could not retrieve Error Message!";

class CMyFtpUploader {
public:
    // log receives the upload's lines and its session's status lines. stop (manual-reset, may be
    // null) ends a running upload and refuses later ones, as Cancel does.
    explicit CMyFtpUploader(LogSink& log, PageGenerator generator = PageGenerator(), HANDLE stop = nullptr);
    ~CMyFtpUploader();
    CMyFtpUploader(const CMyFtpUploader&) = delete;
    CMyFtpUploader& operator=(const CMyFtpUploader&) = delete;

    // The job; the posting cycle fills it before every upload.
    CFtpSite site;

    void SetIpAddress(std::string_view address) { ipAddress_ = address; }
    // Empty when the machine has no global IPv6 address.
    void SetIpv6Address(std::string_view address) { ipv6Address_ = address; }

    // Ends the connection and the session left open by the previous upload, and deletes a page
    // file that a transfer cut off at its deadline held open until now. Always true.
    bool CloseConnection();

    // The whole sequence; true only when the page was transferred.
    bool Upload();

    // Makes a running upload return now and every later one return at once. For shutting down;
    // cannot be undone.
    void Cancel() noexcept;

    // Seams. The bound of each blocking step (connect and log in, change directory, transfer).
    void SetStepTimeout(DWORD milliseconds) { stepTimeoutMs_ = milliseconds; }
    // Called on the uploading thread when a failed connection carries no error text at all. The
    // owner shows the box; the call must not wait for the user. None by default.
    void SetErrorBox(std::function<void(const char* text)> show) { errorBox_ = std::move(show); }

private:
    void Log(std::string_view text) { log_.AppendLog(text); }
    bool Cancelled() const noexcept;
    // Deletes the page file, or, while an abandoned transfer still holds it open, remembers it
    // for the next chance (the next CloseConnection).
    void DeletePage(const std::wstring& pagePath);

    LogSink& log_;
    PageGenerator generator_;
    std::string ipAddress_;
    std::string ipv6Address_;
    DWORD stepTimeoutMs_ = kUploadStepTimeoutMs;
    std::function<void(const char*)> errorBox_;

    const UniqueKernelHandle cancel_; // manual-reset
    // The last upload's, while its session and connection stay open; the transfer (which holds
    // the handles) goes first, as the exchange receives their closing notifications.
    std::shared_ptr<FtpTransfer> transfer_;
    std::shared_ptr<InternetExchange> exchange_;
    std::wstring leftoverPage_;   // a page file not yet deleted; empty when none
    std::string renameRefusedBy_; // "host:port" of a server found to refuse every rename
};

} // namespace tovra
