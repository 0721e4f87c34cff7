#pragma once
// The engine's two small dealings with the platform outside sockets: the question whether to
// connect, and the debugger output. Tests and headless drivers replace either with a hook.
#include "common/CString.h"

#include <functional>

// "You are not connected yet\nDo you want to connect now?" - true for Yes. Windows asks with a
// message box unless a hook is set; elsewhere the hook answers (no hook: No).
bool AskConnectNow();
void SetConnectQuestionHook(std::function<bool()> hook);

// A line for the debugger (OutputDebugStringA on Windows, standard error elsewhere), or for
// the hook when one is set.
void DebugOutput(const CString& line);
void SetDebugOutputHook(std::function<void(const CString&)> hook);
