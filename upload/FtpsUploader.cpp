#include "upload/FtpsUploader.h"

#include "framework/InternetExchange.h"

#include "upload/MyFtpUploader.h"
#include "upload/RemotePath.h"
#include "upload/SecureSocket.h"
#include "upload/StatusText.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace tovra {

namespace {

using Kind = NetworkFailure::Kind;
using Clock = SecureSocket::Clock;

constexpr char kNotSent[] = ", so the user name and password were not sent.";
constexpr char kWrittenInPlace[] =
    "The server refuses to rename files, so the page is written in place: a cut "
    "transfer can leave it incomplete there.";
// A reply line longer than this is no FTP server's.
constexpr std::size_t kReplyLimit = 64 * 1024;

// A server's refusal of a step: its reply, or our words, is the posting's last line.
struct Refusal {
    std::string line;
};

struct Reply {
    int code = 0;
    std::string text; // every line, joined by blanks

    bool Positive() const { return code >= 200 && code < 400; }
    // 500, 502 and 504: the command is not known or not offered, as opposed to refused here.
    bool Unknown() const { return code == 500 || code == 502 || code == 504; }
};

std::string AddressText(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
    else
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    return text;
}

void SetPort(sockaddr_storage& address, unsigned short port) {
    if (address.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6&>(address).sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in&>(address).sin_port = htons(port);
}

unsigned short PortOf(const sockaddr_storage& address) {
    return ntohs(address.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6&>(address).sin6_port
                                               : reinterpret_cast<const sockaddr_in&>(address).sin_port);
}

int LengthOf(const sockaddr_storage& address) {
    return address.ss_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

// "229 Entering Extended Passive Mode (|||6446|)": the port.
std::optional<unsigned short> ExtendedPassivePort(const std::string& text) {
    const std::size_t open = text.find('(');
    if (open == std::string::npos || open + 4 > text.size())
        return std::nullopt;
    const char delimiter = text[open + 1];
    if (text[open + 2] != delimiter || text[open + 3] != delimiter)
        return std::nullopt;
    unsigned long port = 0;
    std::size_t at = open + 4;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && port <= 65535; ++at)
        port = port * 10 + static_cast<unsigned long>(text[at] - '0');
    if (at == open + 4 || at >= text.size() || text[at] != delimiter || port == 0 || port > 65535)
        return std::nullopt;
    return static_cast<unsigned short>(port);
}

// "227 Entering Passive Mode (127,0,0,1,25,26)": the address as the server wrote it, and the port.
std::optional<std::pair<std::string, unsigned short>> PassiveAddress(const std::string& text) {
    std::size_t at = text.find_first_of("0123456789", 4);
    unsigned long numbers[6];
    for (int i = 0; i < 6; ++i) {
        if (at >= text.size() || text[at] < '0' || text[at] > '9')
            return std::nullopt;
        unsigned long value = 0;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9' && value <= 255; ++at)
            value = value * 10 + static_cast<unsigned long>(text[at] - '0');
        if (value > 255 || (i < 5 && (at >= text.size() || text[at] != ',')))
            return std::nullopt;
        numbers[i] = value;
        ++at;
    }
    const unsigned long port = numbers[4] * 256 + numbers[5];
    if (port == 0)
        return std::nullopt;
    return std::make_pair(std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
                              std::to_string(numbers[2]) + "." + std::to_string(numbers[3]),
                          static_cast<unsigned short>(port));
}

// A transfer that did not end with the server's confirmation. The server's words come first:
// 425 and 522 mean it would not take the data connection at all (522 is vsftpd's answer to one
// that does not resume the control connection's TLS session), anything else cut it short.
Refusal DataFailure(const Reply& reply, bool secured, const std::string& ourWords, bool inPlace) {
    if (reply.code == 425 || reply.code == 522)
        return Refusal{"The server refused the secure data connection: " + reply.text};
    const std::string why = reply.code != 0 && !reply.Positive() ? reply.text : ourWords;
    if (!secured)
        return Refusal{"The secure data connection failed: " + why};
    return Refusal{"The transfer was interrupted (" + why + "); the page on the server " +
                   (inPlace ? "may be incomplete." : "stays as it was.")};
}

// The server's addresses, in the system's order. The system's resolver cannot be interrupted and may wait on
// a dead name server for long, so it runs on an exchange's helper: a stop or the step's bound returns at
// once, and the helper ends by itself when the resolver lets it go.
std::vector<sockaddr_storage> Resolve(const std::string& server, unsigned short port, HANDLE stop,
                                      DWORD stepMs) {
    struct Result {
        std::vector<sockaddr_storage> addresses;
    };
    const auto result = std::make_shared<Result>();
    const auto exchange =
        InternetExchange::Create("resolve " + server, [result, server, port](InternetExchange&) {
            WSADATA data;
            if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
                return;
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            addrinfo* found = nullptr;
            if (::getaddrinfo(server.c_str(), std::to_string(port).c_str(), &hints, &found) == 0) {
                for (const addrinfo* at = found; at; at = at->ai_next) {
                    sockaddr_storage address{};
                    std::memcpy(&address, at->ai_addr, std::min<std::size_t>(at->ai_addrlen, sizeof address));
                    result->addresses.push_back(address);
                }
                ::freeaddrinfo(found);
            }
            ::WSACleanup();
        });
    switch (exchange->Perform(stop, stepMs)) {
    case InternetExchange::Outcome::Finished:
        break;
    case InternetExchange::Outcome::Stopped:
        throw NetworkFailure(Kind::Stopped, "Stopped.");
    case InternetExchange::Outcome::TimedOut:
        throw NetworkFailure(Kind::TimedOut, "The name was not resolved in time.");
    case InternetExchange::Outcome::ServerBusy:
        throw Refusal{"The name " + server + " is still being resolved for an earlier posting."};
    case InternetExchange::Outcome::NoThread:
        throw Refusal{"Cannot start a thread for the network."};
    }
    if (result->addresses.empty())
        throw Refusal{"The server name " + server + " could not be resolved."};
    return result->addresses;
}

// One posting: the control connection and what it has learned.
class Session {
public:
    Session(LogSink& log, HANDLE stop, DWORD stepMs, const FtpsJob& job)
        : log_(log), stop_(stop), stepMs_(stepMs), job_(job), control_(stop) {}

    void SignIn();
    // The transfer and the rename; renameRefused tells the caller that the page went in place
    // because the server cannot rename, so that it knows the server next time.
    void Store(const std::string& directory, const std::string& fileName, bool inPlace, bool* renameRefused);
    void Quit();

private:
    void Log(const std::string& line) { log_.AppendLog(line); }
    void StatusLine(unsigned long status, const std::string& info = std::string()) {
        Log(FormatStatusText(::GetCurrentThreadId(), status, info));
    }
    void BeginStep(DWORD extraMs = 0) {
        deadline_ = Clock::now() + std::chrono::milliseconds(stepMs_ + extraMs);
        control_.SetDeadline(deadline_);
    }
    std::string ReadLine();
    Reply ReadReply();
    Reply Command(const std::string& line);
    // The command's reply must be positive, or its text ends the posting.
    Reply Require(const std::string& line);
    void Transfer(const std::string& command);
    std::unique_ptr<SecureSocket> OpenPassive();
    std::unique_ptr<SecureSocket> OpenActive();

    LogSink& log_;
    HANDLE stop_;
    DWORD stepMs_;
    const FtpsJob& job_;
    TlsCredentials credentials_;
    SecureSocket control_;
    Clock::time_point deadline_;
    std::string pending_; // received, not yet a whole line
    bool extendedPassiveRefused_ = false;
    bool extendedPortRefused_ = false;
    bool inPlace_ = false; // the transfer under way writes the page itself
};

std::string Session::ReadLine() {
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return line;
        }
        if (pending_.size() > kReplyLimit)
            throw Refusal{"The server's answer is not FTP."};
        char chunk[4096];
        const std::size_t received = control_.Receive(chunk, sizeof chunk);
        if (received == 0)
            throw NetworkFailure(Kind::Closed, "The server closed the connection.");
        pending_.append(chunk, received);
    }
}

Reply Session::ReadReply() {
    std::string line = ReadLine();
    auto codeOf = [](const std::string& text) {
        if (text.size() < 3 ||
            !std::all_of(text.begin(), text.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
            return 0;
        return std::stoi(text.substr(0, 3));
    };
    Reply reply{codeOf(line), line};
    if (reply.code == 0)
        throw Refusal{"The server's answer is not FTP."};
    if (line.size() > 3 && line[3] == '-') {
        // A multi-line reply ends with its code and a blank.
        const std::string last = line.substr(0, 3) + " ";
        do {
            line = ReadLine();
            reply.text += " " + line;
            if (reply.text.size() > kReplyLimit)
                throw Refusal{"The server's answer is not FTP."};
        } while (line.compare(0, 4, last) != 0);
    }
    return reply;
}

Reply Session::Command(const std::string& line) {
    // A line break inside a setting would end the command there and make the rest another one.
    if (line.find_first_of("\r\n") != std::string::npos)
        throw Refusal{"The user name, the password or the remote path holds a line break, which FTP cannot "
                      "carry."};
    control_.Send(line + "\r\n");
    return ReadReply();
}

Reply Session::Require(const std::string& line) {
    const Reply reply = Command(line);
    if (!reply.Positive())
        throw Refusal{reply.text};
    return reply;
}

void Session::SignIn() {
    BeginStep();
    StatusLine(10, job_.server);
    const std::vector<sockaddr_storage> addresses = Resolve(job_.server, job_.port, stop_, stepMs_);
    StatusLine(11, AddressText(addresses.front()));
    StatusLine(20);
    // A name with an IPv6 and an IPv4 address may reach the server on only one of them.
    for (std::size_t i = 0;; ++i) {
        try {
            control_.Connect(reinterpret_cast<const sockaddr*>(&addresses[i]), LengthOf(addresses[i]));
            break;
        } catch (const NetworkFailure& failure) {
            if (failure.kind() != Kind::Network || i + 1 == addresses.size())
                throw;
        }
    }
    StatusLine(21);

    const Reply greeting = ReadReply();
    if (greeting.code != 220)
        throw Refusal{greeting.text};

    const Reply auth = Command("AUTH TLS");
    if (auth.code != 234)
        throw Refusal{"The server does not offer FTP over TLS (its answer to AUTH TLS: \"" + auth.text +
                      "\")" + kNotSent};
    // Whatever came after the answer arrived in clear text and would be taken for the server's
    // words inside TLS: no honest server sends anything before the handshake.
    if (!pending_.empty())
        throw Refusal{std::string("The server sent more than its answer before the TLS handshake") +
                      kNotSent};
    try {
        control_.Secure(credentials_, job_.server);
    } catch (const NetworkFailure& failure) {
        if (failure.kind() == Kind::Certificate)
            throw Refusal{failure.what() + std::string(kNotSent)};
        if (failure.kind() == Kind::Handshake || failure.kind() == Kind::Closed)
            throw Refusal{"The TLS handshake with the server failed (" + std::string(failure.what()) + ")" +
                          kNotSent};
        throw;
    }
    Log("The connection is secured with " + control_.ProtocolName() + ".");

    BeginStep();
    Require("PBSZ 0");
    Require("PROT P");
    BeginStep();
    const Reply user = Command("USER " + job_.userName);
    if (user.code == 331 || user.code == 332) {
        const Reply pass = Command("PASS " + job_.password);
        if (!pass.Positive())
            throw Refusal{pass.text};
    } else if (!user.Positive()) {
        throw Refusal{user.text};
    }
    BeginStep();
    Require("TYPE A");
}

std::unique_ptr<SecureSocket> Session::OpenPassive() {
    const sockaddr_storage peer = control_.PeerAddress();
    std::optional<unsigned short> port;
    if (!extendedPassiveRefused_) {
        const Reply reply = Command("EPSV");
        if (reply.code == 229)
            port = ExtendedPassivePort(reply.text);
        else if (reply.code >= 500)
            extendedPassiveRefused_ = true;
        else
            throw Refusal{reply.text};
    }
    if (!port) {
        const Reply reply = Command("PASV");
        const auto named = reply.code == 227 ? PassiveAddress(reply.text) : std::nullopt;
        if (!named)
            throw Refusal{reply.code == 227 ? "The server's answer to PASV names no address: " + reply.text
                                            : reply.text};
        port = named->second;
        // Servers behind NAT often name their inner address, so this is only worth a line.
        if (named->first != AddressText(peer))
            Log("The server named another address (" + named->first +
                ") for the data connection; its own address (" + AddressText(peer) + ") was used.");
    }
    sockaddr_storage target = peer;
    SetPort(target, *port);
    auto data = std::make_unique<SecureSocket>(stop_);
    data->SetDeadline(deadline_);
    data->Connect(reinterpret_cast<const sockaddr*>(&target), LengthOf(target));
    return data;
}

std::unique_ptr<SecureSocket> Session::OpenActive() {
    sockaddr_storage local = control_.LocalAddress();
    auto data = std::make_unique<SecureSocket>(stop_);
    data->SetDeadline(deadline_);
    data->Listen(reinterpret_cast<const sockaddr*>(&local), LengthOf(local));
    const sockaddr_storage listening = data->LocalAddress();
    const unsigned short port = PortOf(listening);
    const std::string address = AddressText(local);
    if (!extendedPortRefused_) {
        const Reply reply = Command("EPRT |" + std::string(local.ss_family == AF_INET6 ? "2" : "1") + "|" +
                                    address + "|" + std::to_string(port) + "|");
        if (reply.Positive())
            return data;
        if (!reply.Unknown() || local.ss_family == AF_INET6)
            throw Refusal{reply.text};
        extendedPortRefused_ = true;
    }
    std::string numbers = address;
    std::replace(numbers.begin(), numbers.end(), '.', ',');
    Require("PORT " + numbers + "," + std::to_string(port / 256) + "," + std::to_string(port % 256));
    return data;
}

void Session::Transfer(const std::string& command) {
    // A large page on a slow line must not be cut off: 10 KB a second on top of the bound.
    BeginStep(static_cast<DWORD>(std::min<std::size_t>(job_.page.size() / 10, 24u * 3600 * 1000)));
    std::unique_ptr<SecureSocket> data = job_.passive ? OpenPassive() : OpenActive();
    const Reply start = Command(command);
    if (start.code != 150 && start.code != 125)
        throw Refusal{start.text};
    try {
        if (!job_.passive)
            data->Accept(control_.PeerAddress());
        data->Secure(credentials_, job_.server);
        data->Send(job_.page);
        data->Finish();
    } catch (const NetworkFailure& failure) {
        if (failure.kind() == Kind::Stopped || failure.kind() == Kind::TimedOut)
            throw;
        // The server usually says why on the control connection (vsftpd: "522 ... session reuse
        // required"); its words are better than ours, when they come soon.
        Reply reply{};
        try {
            control_.SetDeadline(std::min(deadline_, Clock::now() + std::chrono::seconds(2)));
            reply = ReadReply();
        } catch (const NetworkFailure& late) {
            if (late.kind() == Kind::Stopped)
                throw;
        }
        throw DataFailure(reply, data->Secured(), failure.what(), inPlace_);
    }
    Reply done{};
    try {
        done = ReadReply();
    } catch (const NetworkFailure& failure) {
        if (failure.kind() != Kind::Closed)
            throw;
        throw DataFailure(Reply{}, true, "the server closed the connection", inPlace_);
    }
    if (!done.Positive())
        throw DataFailure(done, true, std::string(), inPlace_);
}

void Session::Store(const std::string& directory, const std::string& fileName, bool inPlace,
                    bool* renameRefused) {
    if (!directory.empty()) {
        Log("Setting remote directory...");
        BeginStep();
        Require("CWD " + directory);
    }
    Log("Uploading file...");
    inPlace_ = inPlace;
    if (inPlace)
        return Transfer("STOR " + fileName);
    const std::string temporary = TemporaryRemoteName(fileName);
    Transfer("STOR " + temporary);
    BeginStep();
    const Reply from = Command("RNFR " + temporary);
    if (from.code != 350) {
        if (from.code < 500)
            throw Refusal{from.text};
        // No rename at all here: write in place, as a server like this leaves no other way.
        Command("DELE " + temporary);
        *renameRefused = true;
        Log(kWrittenInPlace);
        inPlace_ = true;
        return Transfer("STOR " + fileName);
    }
    const Reply to = Command("RNTO " + fileName);
    if (to.Positive())
        return;
    // Some servers will not rename over an existing file: make room, then rename again.
    const Reply removed = Command("DELE " + fileName);
    if (!removed.Positive() || Command("RNFR " + temporary).code != 350) {
        Command("DELE " + temporary);
        throw Refusal{to.text};
    }
    const Reply again = Command("RNTO " + fileName);
    if (!again.Positive()) {
        Command("DELE " + temporary);
        throw Refusal{again.text};
    }
    Log("The server would not rename over the page, so the old page was deleted first.");
}

void Session::Quit() {
    // Courtesy only: the page is in place, and a server that does not answer changes nothing.
    try {
        control_.SetDeadline(std::min(deadline_, Clock::now() + std::chrono::seconds(2)));
        Command("QUIT");
        control_.Finish();
    } catch (const NetworkFailure& failure) {
        if (failure.kind() == Kind::Stopped)
            throw;
    } catch (const Refusal&) {
    }
}

} // namespace

FtpsUploader::FtpsUploader(LogSink& log, HANDLE stop)
    : log_(log), stop_(stop), stepTimeoutMs_(kUploadStepTimeoutMs) {}

FtpsUploader::Outcome FtpsUploader::Upload(const FtpsJob& job) {
    const RemotePath remote = SplitRemotePath(job.remotePath);
    const std::string serverKey = job.server + ":" + std::to_string(job.port);
    std::string reason;
    try {
        if (remote.fileName.empty())
            throw Refusal{"The remote path names no file."};
        Session session(log_, stop_, stepTimeoutMs_, job);
        session.SignIn();
        bool renameRefused = false;
        session.Store(remote.directory, remote.fileName, writtenInPlace_.count(serverKey) != 0,
                      &renameRefused);
        if (renameRefused)
            writtenInPlace_.insert(serverKey);
        log_.AppendLog("File uploaded successfully!");
        session.Quit();
        return {true, std::string()};
    } catch (const Refusal& refusal) {
        reason = refusal.line;
    } catch (const NetworkFailure& failure) {
        switch (failure.kind()) {
        case Kind::Stopped:
            return {}; // a program that is closing: nothing is left to tell
        case Kind::TimedOut:
            reason = "The server did not answer within " + std::to_string((stepTimeoutMs_ + 999) / 1000) +
                     " seconds.";
            break;
        default:
            reason = failure.what();
            break;
        }
    } catch (const std::exception& error) {
        reason = error.what();
    }
    log_.AppendLog(reason);
    return {false, reason};
}

} // namespace tovra
