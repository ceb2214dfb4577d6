#include "tests/support/RegistrySandbox.h"

#include <atomic>
#include <stdexcept>

namespace tovra::test {

namespace {

constexpr const char* kSandboxParent = "Software\\TovraRegistrySandbox";

// The override is process-wide: a second sandbox would silently take over the first one's hive.
std::atomic<bool> sandboxActive{false};
std::atomic<unsigned> sandboxesMade{0};

std::string Describe(const char* what, LSTATUS status) {
    return std::string("RegistrySandbox: ") + what + " failed with error " + std::to_string(status);
}

} // namespace

RegistrySandbox::RegistrySandbox() {
    if (sandboxActive.exchange(true))
        throw std::logic_error("RegistrySandbox: another sandbox is active in this process");
    // The process id keeps test programs that run at the same time apart; the counter keeps
    // successive sandboxes of one program apart. A key of the same name left by a crashed program
    // that had our process id is cleared first, so the hive always starts empty.
    path_ = std::string(kSandboxParent) + "\\" + std::to_string(::GetCurrentProcessId()) + "." +
            std::to_string(sandboxesMade.fetch_add(1));
    ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    LSTATUS status = ::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_ALL_ACCESS, nullptr, root_.put(), nullptr);
    if (status == ERROR_SUCCESS) {
        status = ::RegOverridePredefKey(HKEY_CURRENT_USER, root_.get());
        if (status == ERROR_SUCCESS)
            return;
        root_.reset();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        sandboxActive = false;
        throw std::runtime_error(Describe("RegOverridePredefKey", status));
    }
    sandboxActive = false;
    throw std::runtime_error(Describe("RegCreateKeyExA", status));
}

RegistrySandbox::~RegistrySandbox() {
    // Back to the real hive before deleting: under the override, this path would name a key
    // inside the sandbox itself.
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    root_.reset();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    // Fails, harmlessly, while another program's sandbox is still there.
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kSandboxParent);
    sandboxActive = false;
}

} // namespace tovra::test
