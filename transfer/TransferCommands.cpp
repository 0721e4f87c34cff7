#include "transfer/TransferCommands.h"

#include "engine/CommandFactory.h"
#include "transfer/ListCommands.h"
#include "transfer/RetrCommand.h"
#include "transfer/StorCommand.h"
#include "transfer/TreeListCommand.h"
#include "transfer/UpdateLocalListCommand.h"

void RegisterTransferCommands() {
    RegisterCommand<CTreeLISTCommand>("TreeLIST");
    RegisterCommand<CUpdateLocalListCommand>("UpdateLocalListCommand");
    RegisterCommand<CLISTCommand>("LIST");
    RegisterCommand<CNLSTCommand>("NLST");
    RegisterCommand<CRETRCommand>("RETR");
    RegisterCommand<CSTORCommand>("STOR");
}
