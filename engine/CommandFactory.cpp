#include "engine/CommandFactory.h"

#include "engine/DataChannel.h"
#include "engine/LoginCommand.h"
#include "engine/SimpleCommands.h"

#include <map>
#include <string>

namespace {

struct Entry {
    CommandMaker make;
    unsigned traits;
};

template <class T>
Entry entryOf() {
    return Entry{[]() -> CCommand* { return new T(); }, T::kTraits};
}

// PASV is not among them: the data-channel set-up creates the passive-mode command itself.
std::map<std::string, Entry>& registry() {
    static std::map<std::string, Entry> table = {
        {"LOGIN", entryOf<CLoginCommand>()}, {"PORT", entryOf<CPORTCommand>()},
        {"TYPE", entryOf<CTYPECommand>()},   {"CWD", entryOf<CCWDCommand>()},
        {"PWD", entryOf<CPWDCommand>()},     {"ABOR", entryOf<CABORCommand>()},
        {"DELE", entryOf<CDELECommand>()},   {"MKD", entryOf<CMKDCommand>()},
        {"QUIT", entryOf<CQUITCommand>()},   {"RMD", entryOf<CRMDCommand>()},
        {"RNFR", entryOf<CRNFRCommand>()},   {"RNTO", entryOf<CRNTOCommand>()},
        {"SITE", entryOf<CSITECommand>()},
    };
    return table;
}

} // namespace

void RegisterCommand(const CString& name, CommandMaker make, unsigned traits) {
    registry()[name] = Entry{make, traits};
}

CCommand* CreateCommand(const CString& name) {
    auto found = registry().find(name);
    return found == registry().end() ? nullptr : found->second.make();
}

unsigned TraitsOf(const CString& name) {
    auto found = registry().find(name);
    return found == registry().end() ? 0 : found->second.traits;
}
