#include "net/NetReport.h"

#include "net/TimeLimit.h"

static IReportChannel* g_channel = nullptr;

void SetReportChannel(IReportChannel* channel) { g_channel = channel; }

bool ControllerNotify(const CString& text, int event, CString& reply) {
    if (!g_channel)
        return false;
    // These open a box or a prompt: the time limits wait for the user. The other events
    // return at once.
    if (event == EV_CONNECT_FAILED || event == EV_SERVER_ERROR || event == EV_ASK_PASSWORD ||
        event == EV_ASK_USER) {
        CTimeLimit::PauseScope pause;
        return g_channel->notify(text, event, reply);
    }
    return g_channel->notify(text, event, reply);
}

bool ControllerNotify(const CString& text, int event) {
    CString reply;
    return ControllerNotify(text, event, reply);
}

void ControllerTrace(const CString& text, int level) {
    if (g_channel)
        g_channel->trace(text, level);
}
