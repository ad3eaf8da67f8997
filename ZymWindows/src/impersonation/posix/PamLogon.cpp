#include "PamLogon.h"

#include "PamLibrary.h"

#include <Zym/LastError.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace ZymWindows::Platform {

namespace {

// What the conversation and the fail-delay hook share with the logon.
struct Exchange {
    const std::string& password;
    unsigned int failDelayUs = 0;
};

// Answers the modules' questions: every hidden prompt gets the password,
// messages need no answer, and nothing else is known.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
    const auto& exchange = *static_cast<const Exchange*>(data);
    auto* answers = static_cast<pam_response*>(std::calloc(count, sizeof(pam_response)));
    if (!answers)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        const int style = messages[i]->msg_style;
        if (style == PAM_ERROR_MSG || style == PAM_TEXT_INFO)
            continue;
        if (style == PAM_PROMPT_ECHO_OFF)
            answers[i].resp = strdup(exchange.password.c_str());
        if (!answers[i].resp) {
            for (int j = 0; j < i; ++j)
                std::free(answers[j].resp);
            std::free(answers);
            return PAM_CONV_ERR;
        }
    }
    *responses = answers;
    return PAM_SUCCESS;
}

// PAM would sleep after a failure while the logon lock is held, making every
// other thread's logon wait too; the delay is kept and slept after it.
void KeepFailDelay(int, unsigned int delayUs, void* data) {
    static_cast<Exchange*>(data)->failDelayUs = delayUs;
}

// Modules are not all thread-safe (some call getpwnam), so one logon runs
// at a time in the process.
std::mutex g_LogonLock;

unsigned long AuthenticationError(int status) {
    switch (status) {
    case PAM_AUTH_ERR:
    case PAM_USER_UNKNOWN:
    case PAM_MAXTRIES:
    case PAM_CRED_INSUFFICIENT:
        return Zym::ERROR_LOGON_FAILURE;
    default:
        return Zym::ERROR_NO_LOGON_SERVERS;
    }
}

unsigned long AccountError(int status) {
    switch (status) {
    case PAM_ACCT_EXPIRED:
        return Zym::ERROR_ACCOUNT_EXPIRED;
    case PAM_NEW_AUTHTOK_REQD:
    case PAM_AUTHTOK_EXPIRED:
        return Zym::ERROR_PASSWORD_MUST_CHANGE;
    case PAM_USER_UNKNOWN:
        return Zym::ERROR_LOGON_FAILURE;
    case PAM_PERM_DENIED:
    case PAM_AUTH_ERR:
        return Zym::ERROR_LOGON_TYPE_NOT_GRANTED;
    default:
        return Zym::ERROR_NO_LOGON_SERVERS;
    }
}

struct PamEnd {
    const PamLibrary* pam;
    int* status;
    void operator()(pam_handle_t* handle) const noexcept { pam->end(handle, *status); }
};

unsigned long Transaction(const PamLibrary& pam, const std::string& account, Exchange& exchange,
                          std::string& pamUser) {
    const pam_conv conversation{Converse, &exchange};
    pam_handle_t* started = nullptr;
    int status = pam.start(LOGON_SERVICE, account.c_str(), &conversation, &started);
    if (status != PAM_SUCCESS) {
        if (started)
            pam.end(started, status);
        return Zym::ERROR_NO_LOGON_SERVERS;
    }
    const std::unique_ptr<pam_handle_t, PamEnd> handle(started, PamEnd{&pam, &status});
    if ((status = pam.setItem(handle.get(), PAM_FAIL_DELAY,
                              reinterpret_cast<const void*>(&KeepFailDelay))) != PAM_SUCCESS)
        return Zym::ERROR_NO_LOGON_SERVERS;
    // No pam_setcred and no session: their modules act on the whole process.
    if ((status = pam.authenticate(handle.get(), PAM_SILENT)) != PAM_SUCCESS)
        return AuthenticationError(status);
    if ((status = pam.accountManagement(handle.get(), PAM_SILENT)) != PAM_SUCCESS)
        return AccountError(status);
    const void* user = nullptr;
    if ((status = pam.getItem(handle.get(), PAM_USER, &user)) != PAM_SUCCESS || !user)
        return Zym::ERROR_NO_LOGON_SERVERS;
    pamUser = static_cast<const char*>(user);
    return Zym::ERROR_SUCCESS;
}

} // namespace

unsigned long PamLogon(const std::string& account, const std::string& password,
                       std::string& pamUser) {
    const PamLibrary* pam = LoadPam();
    if (!pam) {
        Zym::SetLastError(Zym::ERROR_NO_LOGON_SERVERS);
        return Zym::ERROR_NO_LOGON_SERVERS;
    }
    Exchange exchange{password};
    unsigned long error = Zym::ERROR_SUCCESS;
    {
        const std::lock_guard guard(g_LogonLock);
        error = Transaction(*pam, account, exchange, pamUser);
    }
    if (error != Zym::ERROR_SUCCESS)
        std::this_thread::sleep_for(std::chrono::microseconds(exchange.failDelayUs));
    Zym::SetLastError(error);
    return error;
}

} // namespace ZymWindows::Platform
