#include "engine/CallBackController.h"

static ICallBackController* g_controller = nullptr;

ICallBackController::~ICallBackController() {
    if (g_controller == this)
        g_controller = nullptr;
}

void SetCallBackController(ICallBackController* controller) { g_controller = controller; }

ICallBackController* GetCallBackController() { return g_controller; }

bool ControllerNotify(const CString& text, int event, CString& reply) {
    return g_controller ? g_controller->notify(text, event, reply) : false;
}

bool ControllerNotify(const CString& text, int event) {
    CString reply;
    return ControllerNotify(text, event, reply);
}

void ControllerTrace(const CString& text, int level) {
    if (g_controller)
        g_controller->trace(text, level);
}
