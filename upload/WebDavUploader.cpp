#include "upload/WebDavUploader.h"

#include "framework/InternetError.h"
#include "framework/InternetExchange.h"
#include "upload/MyFtpUploader.h"
#include "upload/RemotePath.h"
#include "upload/StatusText.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace tovra {
namespace {

constexpr DWORD kRequestFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_KEEP_CONNECTION;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t length = std::strlen(prefix);
    return text.size() >= length &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str(), static_cast<int>(length), prefix,
                            static_cast<int>(length)) == CSTR_EQUAL;
}

// A request's answer, or the line that says why there is none.
struct Answer {
    DWORD status = 0; // 0: no answer, and `line` says why
    std::string statusText;
    std::string line;
};

class Session {
public:
    Session(InternetExchange& exchange, const WebDavJob& job, std::string host)
        : exchange_(exchange), job_(job), host_(std::move(host)) {}

    bool Open(DWORD stepTimeoutMs) {
        try {
            session_ = exchange_.OpenSession("Tovra", INTERNET_OPEN_TYPE_DIRECT);
        } catch (const InternetError& error) {
            exchange_.Log(error.HasText() ? error.Text() : "The internet session could not be opened.");
            return false;
        }
        for (DWORD option :
             {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT})
            ::InternetSetOptionA(session_.get(), option, &stepTimeoutMs, sizeof stepTimeoutMs);
        connection_.reset(::InternetConnectA(session_.get(), host_.c_str(), job_.port, job_.userName.c_str(),
                                             job_.password.c_str(), INTERNET_SERVICE_HTTP, 0,
                                             exchange_.Context()));
        if (!connection_)
            exchange_.Log(InternetError::FromLastError().Text());
        return static_cast<bool>(connection_);
    }

    // One request with the body. A 401 is answered once more with the sign-in, whichever scheme the
    // server asked for; WinINet picks Basic or Digest from the challenge.
    Answer Send(const char* verb, const std::string& path, const std::string& body) {
        UniqueInternetHandle request(::HttpOpenRequestA(connection_.get(), verb, path.c_str(), "HTTP/1.1",
                                                        nullptr, nullptr, kRequestFlags,
                                                        exchange_.Context()));
        if (!request)
            return Failed();
        static const char kHeaders[] = "Content-Type: text/html\r\n";
        void* data = body.empty() ? nullptr : const_cast<char*>(body.data());
        Answer answer;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!::HttpSendRequestA(request.get(), kHeaders, static_cast<DWORD>(std::strlen(kHeaders)), data,
                                    static_cast<DWORD>(body.size())))
                return Failed();
            // The session is direct and the request secure, so no proxy can answer in the server's
            // place over plain HTTP. (The connection's security flags are no check here: Wine reports
            // none once an answer without a body has handed the connection back to its pool.)
            answer = Status(request.get());
            if (answer.status != HTTP_STATUS_DENIED || job_.userName.empty())
                break;
            ::InternetSetOptionA(request.get(), INTERNET_OPTION_USERNAME,
                                 const_cast<char*>(job_.userName.c_str()),
                                 static_cast<DWORD>(job_.userName.size()));
            ::InternetSetOptionA(request.get(), INTERNET_OPTION_PASSWORD,
                                 const_cast<char*>(job_.password.c_str()),
                                 static_cast<DWORD>(job_.password.size()));
            DWORD read = 0;
            char drain[512];
            while (::InternetReadFile(request.get(), drain, sizeof drain, &read) && read > 0) {
            }
        }
        return answer;
    }

private:
    Answer Failed() const {
        const InternetError error = InternetError::FromLastError();
        if (InternetError::IsCertificateCode(error.Code()))
            return {0, {}, "The certificate of " + host_ + " is not trusted, so the page was not sent."};
        if (error.Code() == ERROR_INTERNET_SECURITY_CHANNEL_ERROR)
            return {
                0, {}, "No secure connection could be made with " + host_ + ", so the page was not sent."};
        return {0,
                {},
                error.HasText()
                    ? error.Text()
                    : "The server could not be reached (error " + std::to_string(error.Code()) + ")."};
    }

    static Answer Status(HINTERNET request) {
        Answer answer;
        DWORD size = sizeof answer.status;
        ::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &answer.status, &size,
                         nullptr);
        char text[256] = {};
        size = sizeof text - 1;
        if (::HttpQueryInfoA(request, HTTP_QUERY_STATUS_TEXT, text, &size, nullptr))
            answer.statusText.assign(text, strnlen(text, sizeof text));
        return answer;
    }

    InternetExchange& exchange_;
    const WebDavJob& job_;
    const std::string host_;
    UniqueInternetHandle session_;
    UniqueInternetHandle connection_;
};

bool Stored(DWORD status) {
    return status == HTTP_STATUS_OK || status == HTTP_STATUS_CREATED || status == HTTP_STATUS_NO_CONTENT;
}

std::string StatusLine(const Answer& answer, const std::string& what) {
    if (answer.status == 0)
        return answer.line;
    if (answer.status == HTTP_STATUS_DENIED)
        return "The server refused the user name or password (HTTP status 401).";
    return "The server answered HTTP status " + std::to_string(answer.status) +
           (answer.statusText.empty() ? "" : " (" + answer.statusText + ")") + "; " + what;
}

// Every folder of the path, outermost first: "/a/b/ip.html" -> "/a/", "/a/b/".
std::vector<std::string> Folders(const std::string& path) {
    std::vector<std::string> folders;
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        folders.push_back(path.substr(0, slash + 1));
    return folders;
}

void Transfer(InternetExchange& exchange, const WebDavJob& job, const std::string& host, DWORD stepTimeoutMs,
              DWORD transferTimeoutMs, bool& uploaded) {
    Session session(exchange, job, host);
    if (!session.Open(stepTimeoutMs) || !exchange.BeginStep(transferTimeoutMs))
        return;
    exchange.Log("Uploading file...");
    const std::string path = UrlPath(job.remotePath);
    Answer answer = session.Send("PUT", path, job.page);
    if (answer.status == HTTP_STATUS_CONFLICT) {
        exchange.Log("The page's folder is missing on the server; making it...");
        for (const std::string& folder : Folders(path)) {
            if (!exchange.BeginStep(stepTimeoutMs))
                return;
            const Answer made = session.Send("MKCOL", folder, {});
            // 405: the folder is there already.
            if (made.status != HTTP_STATUS_CREATED && made.status != HTTP_STATUS_BAD_METHOD &&
                !Stored(made.status))
                return exchange.Log(StatusLine(made, "the folder " + folder + " was not made."));
        }
        if (!exchange.BeginStep(transferTimeoutMs))
            return;
        answer = session.Send("PUT", path, job.page);
    }
    if (!Stored(answer.status))
        return exchange.Log(StatusLine(answer, "the page was not stored."));
    exchange.Log("File uploaded successfully!");
    uploaded = true;
}

} // namespace

WebDavUploader::WebDavUploader(LogSink& log, HANDLE stop)
    : log_(log), stop_(stop), stepTimeoutMs_(kUploadStepTimeoutMs) {}

WebDavUploader::Outcome WebDavUploader::Upload(const WebDavJob& job) {
    // The last own line is the reason; a helper abandoned in a step may still write, hence the lock.
    struct Shared {
        std::mutex mutex;
        std::string lastLine;
        bool uploaded = false;
    };
    const auto shared = std::make_shared<Shared>();
    const auto say = [this, shared](std::string_view line) {
        if (!line.empty() && line.front() != '[') {
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->lastLine = line;
        }
        log_.AppendLog(line);
    };

    std::string host = job.server;
    if (StartsWithNoCase(host, "http://")) {
        say("WebDAV goes only over https, so that the password never crosses the network in clear: the Site "
            "Address must not start with http://.");
        return {false, shared->lastLine};
    }
    if (StartsWithNoCase(host, "https://"))
        host.erase(0, std::strlen("https://"));
    if (const std::size_t slash = host.find('/'); slash != std::string::npos)
        host.resize(slash);

    const DWORD transferTimeoutMs =
        stepTimeoutMs_ + static_cast<DWORD>(std::min<std::size_t>(job.page.size() / 10, 24UL * 3600 * 1000));
    const DWORD stepTimeoutMs = stepTimeoutMs_;
    const DWORD poster = ::GetCurrentThreadId();
    InternetExchange::Outcome outcome = InternetExchange::Outcome::NoThread;
    try {
        const auto exchange = InternetExchange::Create(
            "https://" + host + ":" + std::to_string(job.port),
            [job, host, stepTimeoutMs, transferTimeoutMs, shared](InternetExchange& exchange) {
                bool uploaded = false;
                Transfer(exchange, job, host, stepTimeoutMs, transferTimeoutMs, uploaded);
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->uploaded = uploaded;
            },
            say,
            [poster](DWORD status, const void* info, DWORD length) {
                const bool named =
                    status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_NAME_RESOLVED;
                const char* text = static_cast<const char*>(info);
                return FormatStatusText(
                    poster, status, named && text ? std::string(text, strnlen(text, length)) : std::string());
            });
        outcome = exchange->Perform(stop_, stepTimeoutMs_);
    } catch (const std::exception&) {
    }
    switch (outcome) {
    case InternetExchange::Outcome::Finished:
        break;
    case InternetExchange::Outcome::TimedOut:
        say("The server did not answer within " + std::to_string((stepTimeoutMs_ + 999) / 1000) +
            " seconds.");
        break;
    case InternetExchange::Outcome::Stopped:
        return {};
    case InternetExchange::Outcome::ServerBusy:
        say("The server still has not answered an earlier upload, so this one was not started.");
        break;
    case InternetExchange::Outcome::NoThread:
        say("Cannot start a thread for the network.");
        break;
    }
    std::lock_guard<std::mutex> lock(shared->mutex);
    return {outcome == InternetExchange::Outcome::Finished && shared->uploaded, shared->lastLine};
}

} // namespace tovra
