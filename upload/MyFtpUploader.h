#pragma once
// Publishes the page: opens an internet session, logs in to the FTP server, changes to the remote
// directory, generates the page from the template, sends it in ASCII mode and deletes the page
// file again, reporting each step as a log line. The session and the connection of an upload stay
// open until the next upload (or the destruction) closes them.
//
// Threads: Upload, CloseConnection and the setters run on the thread that posts, one upload at a
// time (the caller serialises them). Cancel may be called from any thread while an upload runs.
// Each blocking step has a deadline of its own: WinINet under Wine honours neither the receive
// nor the send time-out, so a server that accepts and then never answers would otherwise hold
// the upload, and every later one, for good. At the deadline, or on Cancel, the session's handles
// are closed from the other thread, which makes the blocked call return.

#include "upload/FtpSite.h"
#include "upload/LogSink.h"
#include "upload/PageGenerator.h"
#include "upload/StatusLogSession.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tovra {

inline constexpr DWORD kUploadStepTimeoutMs = 30000;
inline constexpr char kNoErrorTextMessage[] = "Could not retrieve Error Message!";

class CMyFtpUploader {
public:
    // log receives the upload's lines and its session's status lines.
    explicit CMyFtpUploader(LogSink& log, PageGenerator generator = PageGenerator());
    ~CMyFtpUploader();
    CMyFtpUploader(const CMyFtpUploader&) = delete;
    CMyFtpUploader& operator=(const CMyFtpUploader&) = delete;

    // The job; the posting cycle fills it before every upload.
    CFtpSite site;

    void SetIpAddress(std::string_view address) { ipAddress_ = address; }

    // Ends the connection and the session left open by the previous upload. Always true.
    bool CloseConnection();

    // The whole sequence; true only when the page was transferred.
    bool Upload();

    // Makes a running upload return now (its blocked call is woken) and every later one return at
    // once. For shutting down; cannot be undone.
    void Cancel();

    // The page file of the next upload, generated from site.templateFile and the address.
    PageGenerator::Result GenerateTemplateFile() const;

    // Seams. The bound of each blocking step (connect and log in, change directory, transfer).
    void SetStepTimeout(DWORD milliseconds) { stepTimeoutMs_ = milliseconds; }
    // Shown when a failed connection carries no error text at all; a message box by default.
    void SetErrorBox(std::function<void(const char* text)> show) { errorBox_ = std::move(show); }

private:
    class StepDeadline;
    enum class Interruption { None, TimedOut, Cancelled };

    void Log(std::string_view text) { log_.AppendLog(text); }
    void Abort(Interruption why);
    Interruption CurrentInterruption();
    // The live connection, or null once a deadline or Cancel has closed it.
    HINTERNET ConnectionHandle();
    void ReportConnectFailure(DWORD error);
    void ReportInterruption(Interruption why);
    DWORD TransferTimeout(const std::string& pagePath) const;

    LogSink& log_;
    PageGenerator generator_;
    std::string ipAddress_;
    DWORD stepTimeoutMs_ = kUploadStepTimeoutMs;
    std::function<void(const char*)> errorBox_;

    // Shared with an aborting thread (a deadline's timer, a Cancel): the objects themselves are
    // only created and destroyed on the posting thread.
    std::mutex mutex_;
    std::unique_ptr<CStatusLogSession> session_;
    UniqueInternetHandle connection_;
    bool cancelled_ = false;
    Interruption interruption_ = Interruption::None;
};

} // namespace tovra
