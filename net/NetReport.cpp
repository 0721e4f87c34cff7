#include "net/NetReport.h"

static IReportChannel* g_channel = nullptr;

void SetReportChannel(IReportChannel* channel) { g_channel = channel; }

bool ControllerNotify(const CString& text, int event, CString& reply) {
    return g_channel ? g_channel->notify(text, event, reply) : false;
}

bool ControllerNotify(const CString& text, int event) {
    CString reply;
    return ControllerNotify(text, event, reply);
}

void ControllerTrace(const CString& text, int level) {
    if (g_channel)
        g_channel->trace(text, level);
}
