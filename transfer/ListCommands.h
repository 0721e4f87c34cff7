#pragma once
// The plain listing commands: they send their verb and arguments as one line (no data-channel
// set-up of their own), collect the data through the base eventData and finish when the data
// ends.
#include "engine/Command.h"

class CLISTCommand : public CCommand {
public:
    CLISTCommand() : CCommand("LIST") {}
    bool onReply(const CString& line) override;
};

class CNLSTCommand : public CCommand {
public:
    CNLSTCommand() : CCommand("NLST") {}
    // The step only says which preliminary reply came (1 for 150, 5 for 125); it is reported
    // in the end-of-data trace.
    bool onReply(const CString& line) override;
};
