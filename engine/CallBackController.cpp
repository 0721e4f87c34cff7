#include "engine/CallBackController.h"

static ICallBackController* g_controller = nullptr;

ICallBackController::~ICallBackController() {
    if (g_controller == this)
        SetCallBackController(nullptr);
}

void SetCallBackController(ICallBackController* controller) {
    g_controller = controller;
    SetReportChannel(controller);
}

ICallBackController* GetCallBackController() { return g_controller; }
