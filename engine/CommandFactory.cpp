// The commands a request can name. PASV is not among them: the data-channel set-up creates
// the passive-mode command itself.
#include "engine/CommandQueue.h"

#include "engine/DataChannel.h"
#include "engine/LoginCommand.h"
#include "engine/SimpleCommands.h"

#include <functional>
#include <map>

CCommand* CreateCommand(const CString& name) {
    static const std::map<std::string, std::function<CCommand*()>> table = {
        {"LOGIN", [] { return new CLoginCommand(); }},
        {"PORT", [] { return new CPORTCommand(); }},
        {"TYPE", [] { return new CTYPECommand(); }},
        {"CWD", [] { return new CCWDCommand(); }},
        {"PWD", [] { return new CPWDCommand(); }},
        {"ABOR", [] { return new CABORCommand(); }},
        {"DELE", [] { return new CDELECommand(); }},
        {"MKD", [] { return new CMKDCommand(); }},
        {"QUIT", [] { return new CQUITCommand(); }},
        {"RMD", [] { return new CRMDCommand(); }},
        {"RNFR", [] { return new CRNFRCommand(); }},
        {"RNTO", [] { return new CRNTOCommand(); }},
        {"SITE", [] { return new CSITECommand(); }},
    };
    auto found = table.find(name);
    return found == table.end() ? nullptr : found->second();
}
