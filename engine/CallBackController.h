#pragma once
// The engine's one channel to the user interface. The engine never touches a window: it
// reports and asks through notify() and writes the protocol log through trace(). The event
// codes and trace levels, and the ControllerNotify/ControllerTrace call sites, come with the
// network layer's side of the channel.
#include "net/NetReport.h"

class ICallBackController : public IReportChannel {
public:
    bool notify(const CString& text, int event, CString& reply) override = 0;
    // Besides showing the line, every call schedules one run of the queue pump on the
    // user-interface thread: the queue moves on because state changes are traced.
    void trace(const CString& text, int level) override = 0;
    virtual ~ICallBackController();
};

// The one process-wide controller; null until the main window (or a test) registers itself.
void SetCallBackController(ICallBackController* controller);
ICallBackController* GetCallBackController();
