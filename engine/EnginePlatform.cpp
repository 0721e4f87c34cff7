#include "engine/EnginePlatform.h"

#include <cstdio>
#ifdef _WIN32
#include <windows.h>
#endif

static std::function<bool()>& connectHook() {
    static std::function<bool()> hook;
    return hook;
}

static std::function<void(const CString&)>& debugHook() {
    static std::function<void(const CString&)> hook;
    return hook;
}

void SetConnectQuestionHook(std::function<bool()> hook) { connectHook() = std::move(hook); }
void SetDebugOutputHook(std::function<void(const CString&)> hook) { debugHook() = std::move(hook); }

bool AskConnectNow() {
    if (connectHook())
        return connectHook()();
#ifdef _WIN32
    return MessageBoxA(nullptr, "You are not connected yet\nDo you want to connect now?",
                       "Tarnwick", MB_YESNO) == IDYES;
#else
    fputs("You are not connected yet: not connecting (no one to ask)\n", stderr);
    return false;
#endif
}

void DebugOutput(const CString& line) {
    if (debugHook()) {
        debugHook()(line);
        return;
    }
#ifdef _WIN32
    OutputDebugStringA(line.c_str());
#else
    fputs(line.c_str(), stderr);
#endif
}
