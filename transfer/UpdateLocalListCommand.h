#pragma once
// Queued after a batch of downloads: tells the controller to show the local folder again once
// the downloads before it have run. It sends nothing to the server.
#include "engine/Command.h"

class CUpdateLocalListCommand : public CCommand {
public:
    CUpdateLocalListCommand() : CCommand("UpdateLocalListCommand") {}
    bool execute(const CString& folder, const CString& ignored) override;
    bool isRestartable() override { return false; }
};
