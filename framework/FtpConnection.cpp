#include "framework/FtpConnection.h"

#include "framework/InternetSessionState.h"

#include <utility>

namespace tovra {

namespace {

using StepResult = InternetSessionState::StepResult;

StepResult Failed() {
    return {false, nullptr, InternetError::FromLastError()};
}

InternetError Cancelled() {
    return InternetError::FromCode(ERROR_INTERNET_OPERATION_CANCELLED, "The operation was cancelled.");
}

} // namespace

FtpConnection::FtpConnection(InternetSession& session, const std::string& server, const std::string& user,
                             const std::string& password, INTERNET_PORT port, bool passive)
    : state_(session.state_) {
    HINTERNET parent = state_ ? state_->SessionHandle() : nullptr;
    if (parent == nullptr)
        throw Cancelled();
    const DWORD flags = passive ? INTERNET_FLAG_PASSIVE : 0;
    const DWORD_PTR context = state_->Context();
    // Connecting and logging in happen here, not at the first command: InternetConnectA blocks.
    StepResult result = state_->Run(
        [=]() -> StepResult {
            HINTERNET handle = InternetConnectA(parent, server.c_str(), port, user.c_str(), password.c_str(),
                                                INTERNET_SERVICE_FTP, flags, context);
            if (handle == nullptr)
                return Failed();
            return {true, handle, std::nullopt};
        },
        /*ftpConnect=*/true);
    if (!state_->Adopt(result.handle))
        throw Cancelled();
    handle_ = result.handle;
}

FtpConnection::~FtpConnection() {
    Close();
}

FtpConnection::FtpConnection(FtpConnection&& other) noexcept
    : state_(std::move(other.state_)), handle_(std::exchange(other.handle_, nullptr)) {}

FtpConnection& FtpConnection::operator=(FtpConnection&& other) noexcept {
    if (this != &other) {
        Close();
        state_ = std::move(other.state_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void FtpConnection::Close() noexcept {
    if (state_ && handle_ != nullptr)
        state_->Close(handle_);
    handle_ = nullptr;
}

void FtpConnection::SetCurrentDirectory(const std::string& directory) {
    if (!state_ || !state_->Owns(handle_))
        throw Cancelled();
    HINTERNET handle = handle_;
    state_->Run([handle, directory]() -> StepResult {
        if (!FtpSetCurrentDirectoryA(handle, directory.c_str()))
            return Failed();
        return {true, nullptr, std::nullopt};
    });
}

void FtpConnection::PutFile(const std::string& localPath, const std::string& remoteName, DWORD transferType) {
    if (!state_ || !state_->Owns(handle_))
        throw Cancelled();
    HINTERNET handle = handle_;
    const DWORD_PTR context = state_->Context();
    state_->Run([=]() -> StepResult {
        if (!FtpPutFileA(handle, localPath.c_str(), remoteName.c_str(), transferType, context))
            return Failed();
        return {true, nullptr, std::nullopt};
    });
}

} // namespace tovra
