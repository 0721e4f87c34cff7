// The commands a request can name. PASV is not among them: the data-channel set-up creates
// the passive-mode command itself.
#include "engine/CommandQueue.h"

#include "engine/DataChannel.h"
#include "engine/LoginCommand.h"
#include "engine/SimpleCommands.h"
#include "transfer/ListCommands.h"
#include "transfer/RetrCommand.h"
#include "transfer/StorCommand.h"
#include "transfer/TreeListCommand.h"
#include "transfer/UpdateLocalListCommand.h"

#include <functional>
#include <map>

CCommand* CreateCommand(const CString& name) {
    static const std::map<std::string, std::function<CCommand*()>> table = {
        {"TreeLIST", [] { return new CTreeLISTCommand(); }},
        {"UpdateLocalListCommand", [] { return new CUpdateLocalListCommand(); }},
        {"LIST", [] { return new CLISTCommand(); }},
        {"NLST", [] { return new CNLSTCommand(); }},
        {"LOGIN", [] { return new CLoginCommand(); }},
        {"PORT", [] { return new CPORTCommand(); }},
        {"TYPE", [] { return new CTYPECommand(); }},
        {"CWD", [] { return new CCWDCommand(); }},
        {"PWD", [] { return new CPWDCommand(); }},
        {"ABOR", [] { return new CABORCommand(); }},
        {"DELE", [] { return new CDELECommand(); }},
        {"MKD", [] { return new CMKDCommand(); }},
        {"QUIT", [] { return new CQUITCommand(); }},
        {"RETR", [] { return new CRETRCommand(); }},
        {"RMD", [] { return new CRMDCommand(); }},
        {"RNFR", [] { return new CRNFRCommand(); }},
        {"RNTO", [] { return new CRNTOCommand(); }},
        {"STOR", [] { return new CSTORCommand(); }},
        {"SITE", [] { return new CSITECommand(); }},
    };
    auto found = table.find(name);
    return found == table.end() ? nullptr : found->second();
}
