#pragma once
// Log-on: opens the control connection to an account's server and logs on with USER, PASS
// and, when the server asks, ACCT. Steps: 0 waiting for the greeting, 1 USER sent, 2 PASS
// sent, 3 ACCT sent, 4 done.
#include "engine/Command.h"

// The user name of an anonymous log-on.
constexpr const char kAnonymousUser[] = "anonymous";

class CLoginCommand : public CCommand {
public:
    static constexpr unsigned kTraits = kRunsUnconnected | kLogsOn;
    enum Step : int {
        kAwaitingGreeting = 0,
        kUserSent = 1,
        kPasswordSent = 2,
        kAccountSent = 3,
        kLoggedOn = 4,
    };
    CLoginCommand() : CCommand("LOGIN", kTraits) {}

    bool execute(const CString& accountName, const CString& ignored) override;
    bool isRestartable() override { return false; }
    bool onReply(const CString& line) override;

private:
    void onGreeting();
    void sendPassword();
    void finish();

    CString m_strUser;
    CString m_strPassword;
    CString m_strSection;
};
