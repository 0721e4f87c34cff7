#pragma once
// The plain listing commands: they send their verb and arguments as one line (no data-channel
// set-up of their own), collect the data and finish when the data ends.
#include "engine/Command.h"

class CListingCommand : public CCommand {
public:
    bool eventData(const char* data, int length) override;

protected:
    // empty: what the listing holds when the data brought nothing, so that a finished empty
    // listing is told from none.
    CListingCommand(const CString& name, const char* empty) : CCommand(name), m_empty(empty) {}

private:
    const char* const m_empty;
    bool m_refused = false;
};

class CLISTCommand : public CListingCommand {
public:
    CLISTCommand() : CListingCommand("LIST", " ") {}
    bool onReply(const CString& line) override;
};

class CNLSTCommand : public CListingCommand {
public:
    // Which preliminary reply came; reported in the end-of-data trace.
    enum Step : int { kWaiting = 0, kOpening = 1, kAlreadyOpen = 5 };

    CNLSTCommand() : CListingCommand("NLST", "  ") {}
    bool onReply(const CString& line) override;
};
