// The commands a request can name. PASV is not among them: the data-channel set-up creates
// the passive-mode command itself.
#include "engine/CommandQueue.h"

#include "engine/LoginCommand.h"

#include <functional>
#include <map>

CCommand* CreateCommand(const CString& name) {
    static const std::map<std::string, std::function<CCommand*()>> table = {
        {"LOGIN", [] { return new CLoginCommand(); }},
    };
    auto found = table.find(name);
    return found == table.end() ? nullptr : found->second();
}
