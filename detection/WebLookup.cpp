#include "detection/WebLookup.h"

#include "detection/AddressScan.h"

#include <system_error>
#include <utility>

namespace tovra {
namespace {

constexpr char kAgent[] = "Tovra";

// The echo sites' answer changes with the address, so a cached page would report an old one.
constexpr DWORD kRequestFlags = INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_RELOAD |
                                INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI;

class SetEventOnExit {
public:
    explicit SetEventOnExit(HANDLE event) : event_(event) {}
    ~SetEventOnExit() { ::SetEvent(event_); }
    SetEventOnExit(const SetEventOnExit&) = delete;
    SetEventOnExit& operator=(const SetEventOnExit&) = delete;

private:
    HANDLE event_;
};

} // namespace

WebLookup::WebLookup(std::string host, std::string path, DWORD timeoutMs)
    : host_(std::move(host)), path_(std::move(path)), timeoutMs_(timeoutMs),
      finished_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    if (!finished_)
        throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), "CreateEvent");
}

void WebLookup::Run() {
    const SetEventOnExit signal(finished_.get());
    address_ = FetchAddressPage();
    CloseHandles();
}

void WebLookup::OnStopRequested() {
    std::lock_guard guard(lock_);
    cancelled_ = true;
    request_.reset();
    connection_.reset();
    session_.reset();
}

void WebLookup::CloseHandles() {
    std::lock_guard guard(lock_);
    request_.reset();
    connection_.reset();
    session_.reset();
}

HINTERNET WebLookup::Keep(UniqueInternetHandle& slot, HINTERNET handle) {
    std::lock_guard guard(lock_);
    UniqueInternetHandle owned(handle);
    if (cancelled_)
        return nullptr;
    slot = std::move(owned);
    return slot.get();
}

void WebLookup::SetTimeouts(HINTERNET handle) const {
    // Wine honours the connect time-out everywhere but the receive time-out only on a connection
    // or request handle; Windows honours all three. Failures only cost the bound they would give.
    DWORD timeout = timeoutMs_;
    for (const DWORD option :
         {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(handle, option, &timeout, sizeof timeout);
}

std::uint32_t WebLookup::FetchAddressPage() {
    // Every failure, whatever step it comes at, means the same: this site gave no address.
    const HINTERNET session =
        Keep(session_, ::InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session)
        return 0;
    SetTimeouts(session);

    const HINTERNET connection =
        Keep(connection_, ::InternetConnectA(session, host_.c_str(), INTERNET_DEFAULT_HTTP_PORT, nullptr,
                                             nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return 0;
    SetTimeouts(connection);

    const HINTERNET request = Keep(request_, ::HttpOpenRequestA(connection, "GET", path_.c_str(), nullptr,
                                                                nullptr, nullptr, kRequestFlags, 0));
    if (!request)
        return 0;
    SetTimeouts(request);

    if (!::HttpSendRequestA(request, nullptr, 0, nullptr, 0))
        return 0;

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    // An error page may well name an address (the proxy's, say): only a 2xx answer counts.
    if (status / 100 != 2)
        return 0;

    // One read may return less than a network packet's worth; read until the buffer is full or
    // the body ends.
    std::string page(kPageReadBytes, '\0');
    std::size_t filled = 0;
    while (filled < page.size()) {
        DWORD read = 0;
        if (!::InternetReadFile(request, page.data() + filled, static_cast<DWORD>(page.size() - filled),
                                &read))
            return 0;
        if (read == 0)
            break;
        filled += read;
    }
    page.resize(filled);
    return FindFirstAddress(page);
}

} // namespace tovra
