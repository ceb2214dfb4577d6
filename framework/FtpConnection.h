#pragma once
// An FTP connection, logged in: InternetConnectA with INTERNET_SERVICE_FTP, then the directory
// change and the store. Every operation is a blocking step bounded as InternetSession describes
// and throws InternetError on failure; the error carries the server's reply where there is one
// ("530 Login incorrect.", "550 No such directory.").
//
//     InternetSession session("Tovra");
//     session.SetStatusHandler(...);
//     session.SetStopEvent(stop);
//     session.SetStepTimeout(std::chrono::seconds(30));
//     FtpConnection ftp(session, "ftp.example.org", "user", "password", 21, true);
//     ftp.SetCurrentDirectory("/htdocs/");
//     ftp.PutFile("C:\\...\\Tovra.tmp", "ip.html");      // ASCII by default

#include "framework/InternetSession.h"
#include "framework/SessionHandle.h"

#include <string>

namespace tovra {

class FtpConnection {
public:
    // Connects and logs in; passive selects INTERNET_FLAG_PASSIVE. Throws InternetError.
    FtpConnection(InternetSession& session, const std::string& server, const std::string& user,
                  const std::string& password, INTERNET_PORT port = INTERNET_DEFAULT_FTP_PORT,
                  bool passive = true);

    void SetCurrentDirectory(const std::string& directory);

    // Stores the local file under remoteName in the current directory. The local path is UTF-16
    // (a folder of the user's may have a name the code page cannot spell); the remote name is
    // sent as the code-page bytes it is.
    void PutFile(const std::wstring& localPath, const std::string& remoteName,
                 DWORD transferType = FTP_TRANSFER_TYPE_ASCII);

    void Close() noexcept;

private:
    SessionHandle handle_;
};

} // namespace tovra
