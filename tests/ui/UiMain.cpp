// main() of the ui test programs: the common controls are registered before any test makes
// a window, as the program does at its start.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace {
// A crash ends the program with a message instead of waiting in a debugger's dialog.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    fprintf(stderr, "ui test crashed: exception 0x%08lx at %p\n",
            static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    ExitProcess(3);
}
} // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(&reportCrash);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    if (!InitCommonControlsEx(&controls)) {
        fprintf(stderr, "the common controls could not be registered\n");
        return 2;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
