#include "framework/FtpConnection.h"

#include "framework/InternetSessionState.h"
#include "framework/WideText.h"

namespace tovra {

namespace {

using StepResult = InternetSessionState::StepResult;

StepResult Failed() {
    return {false, nullptr, InternetError::FromLastError()};
}

} // namespace

FtpConnection::FtpConnection(InternetSession& session, const std::string& server, const std::string& user,
                             const std::string& password, INTERNET_PORT port, bool passive) {
    const std::shared_ptr<InternetSessionState>& state = session.state_;
    HINTERNET parent = state ? state->SessionHandle() : nullptr;
    if (parent == nullptr)
        throw InternetError::Cancelled();
    const DWORD flags = passive ? INTERNET_FLAG_PASSIVE : 0;
    const DWORD_PTR context = state->Context();
    // Connecting and logging in happen here, not at the first command: InternetConnectA blocks.
    StepResult result = state->Run(
        [=]() -> StepResult {
            HINTERNET handle = InternetConnectA(parent, server.c_str(), port, user.c_str(), password.c_str(),
                                                INTERNET_SERVICE_FTP, flags, context);
            if (handle == nullptr)
                return Failed();
            return {true, handle, std::nullopt};
        },
        /*ftpConnect=*/true);
    handle_ = SessionHandle(state, result.handle);
}

void FtpConnection::Close() noexcept {
    handle_.Close();
}

void FtpConnection::SetCurrentDirectory(const std::string& directory) {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        throw InternetError::Cancelled();
    handle_.State()->Run([handle, directory]() -> StepResult {
        if (!FtpSetCurrentDirectoryA(handle, directory.c_str()))
            return Failed();
        return {true, nullptr, std::nullopt};
    });
}

void FtpConnection::PutFile(const std::wstring& localPath, const std::string& remoteName,
                            DWORD transferType) {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        throw InternetError::Cancelled();
    const std::shared_ptr<InternetSessionState>& state = handle_.State();
    const DWORD_PTR context = state->Context();
    // The narrow call whenever the code page can name the local file, so that the remote name
    // goes out exactly as it always has; the wide one only for a path that it cannot name, with
    // the remote name widened from the code page, which WinINet narrows back to it for the wire.
    const std::optional<std::string> narrowPath = NarrowExactly(localPath);
    const std::wstring wideRemoteName = narrowPath ? std::wstring() : WidenAnsi(remoteName);
    state->Run([=]() -> StepResult {
        const BOOL stored =
            narrowPath
                ? FtpPutFileA(handle, narrowPath->c_str(), remoteName.c_str(), transferType, context)
                : FtpPutFileW(handle, localPath.c_str(), wideRemoteName.c_str(), transferType, context);
        if (!stored)
            return Failed();
        return {true, nullptr, std::nullopt};
    });
}

} // namespace tovra
