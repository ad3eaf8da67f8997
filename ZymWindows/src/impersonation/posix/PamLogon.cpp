#include "PamLogon.h"

#include <Zym/LastError.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <security/pam_appl.h>

namespace ZymWindows::Platform {

namespace {

// Answers the modules' questions: every hidden prompt gets the password,
// messages need no answer, and nothing else is known.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
    const auto* password = static_cast<const std::string*>(data);
    auto* answers = static_cast<pam_response*>(std::calloc(count, sizeof(pam_response)));
    if (!answers)
        return PAM_BUF_ERR;
    for (int i = 0; i < count; ++i) {
        const int style = messages[i]->msg_style;
        if (style == PAM_ERROR_MSG || style == PAM_TEXT_INFO)
            continue;
        if (style == PAM_PROMPT_ECHO_OFF)
            answers[i].resp = strdup(password->c_str());
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
    int* status;
    void operator()(pam_handle_t* handle) const noexcept { pam_end(handle, *status); }
};

} // namespace

unsigned long PamLogon(const std::string& account, const std::string& password,
                       std::string& pamUser) {
    const pam_conv conversation{Converse, const_cast<std::string*>(&password)};
    pam_handle_t* started = nullptr;
    int status = pam_start(LOGON_SERVICE, account.c_str(), &conversation, &started);
    if (status != PAM_SUCCESS) {
        if (started)
            pam_end(started, status);
        Zym::SetLastError(Zym::ERROR_NO_LOGON_SERVERS);
        return Zym::ERROR_NO_LOGON_SERVERS;
    }
    const std::unique_ptr<pam_handle_t, PamEnd> handle(started, PamEnd{&status});
    // No pam_setcred and no session: their modules act on the whole process.
    unsigned long error = Zym::ERROR_SUCCESS;
    if ((status = pam_authenticate(handle.get(), PAM_SILENT)) != PAM_SUCCESS)
        error = AuthenticationError(status);
    else if ((status = pam_acct_mgmt(handle.get(), PAM_SILENT)) != PAM_SUCCESS)
        error = AccountError(status);
    if (error == Zym::ERROR_SUCCESS) {
        const void* user = nullptr;
        if ((status = pam_get_item(handle.get(), PAM_USER, &user)) != PAM_SUCCESS || !user)
            error = Zym::ERROR_NO_LOGON_SERVERS;
        else
            pamUser = static_cast<const char*>(user);
    }
    Zym::SetLastError(error);
    return error;
}

} // namespace ZymWindows::Platform
