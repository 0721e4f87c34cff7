#pragma once
// The commands a request can name. Each folder registers its own: the engine's are there from
// the start, the transfer folder's come with RegisterTransferCommands (called by whoever runs
// a queue), so the engine names no command above it.
#include "engine/Command.h"

using CommandMaker = CCommand* (*)();

// A later registration of the same name replaces the earlier one.
void RegisterCommand(const CString& name, CommandMaker make, unsigned traits);

template <class T>
void RegisterCommand(const CString& name) {
    RegisterCommand(name, []() -> CCommand* { return new T(); }, T::kTraits);
}

// The command for a request name, or null for a name no command answers to.
CCommand* CreateCommand(const CString& name);
// The traits of the command a request names (none for an unknown name).
unsigned TraitsOf(const CString& name);
