#include "framework/FtpConnection.h"

#include "framework/InternetSessionState.h"

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

void FtpConnection::PutFile(const std::string& localPath, const std::string& remoteName, DWORD transferType) {
    HINTERNET handle = handle_.Live();
    if (handle == nullptr)
        throw InternetError::Cancelled();
    const std::shared_ptr<InternetSessionState>& state = handle_.State();
    const DWORD_PTR context = state->Context();
    state->Run([=]() -> StepResult {
        if (!FtpPutFileA(handle, localPath.c_str(), remoteName.c_str(), transferType, context))
            return Failed();
        return {true, nullptr, std::nullopt};
    });
}

} // namespace tovra
