#pragma once
// The one channel upward from the sockets and everything built on them: reports the user must
// see (notify) and the protocol log (trace). The network layer only knows this interface; the
// engine's controller is the one implementation, registered from above.
#include "common/CString.h"

// Event codes of notify().
enum ControllerEvent {
    EV_CONNECT_FAILED = 0,      // text: the message; the user retries or gives up
    EV_REMOTE_DIR = 1,          // text: the current remote folder (PWD)
    EV_PROGRESS = 2,            // text: a progress line; reply: the kilobyte number
    EV_SERVER_ERROR = 3,        // text: the reply line; reply: the command's status text
    EV_ASK_PASSWORD = 4,        // reply in: stored password, out: entered; true = confirmed
    EV_ASK_USER = 5,            // reply in: stored user name, out: entered; true = confirmed
    EV_GET_REMOTE_DIR = 6,      // reply out: the current remote folder
    EV_REFRESH_LOCAL = 7,       // text: the local folder to show again
    EV_RENAME = 8,              // remote file list only
    EV_LISTING_DONE = 9,        // the current TreeLIST command holds a complete listing
    EV_CONNECTION_STATE = 10,   // text: "Y" connected / "N"; reply: local address or the text
    EV_SELECT_REMOTE_PATH = 11, // remote panes only
    EV_SELECT_LOCAL_PATH = 12,  // local panes only
};

// Trace levels.
enum TraceLevel {
    TRACE_COMMAND = 1,  // command start, failure and transfer results
    TRACE_PROTOCOL = 2, // reply lines and command lines sent (never PASS)
    TRACE_DETAIL = 5,   // engine detail and progress
    TRACE_PORT = 8,     // the PORT address
    TRACE_STATE = 9,    // state changes and socket events
};

class IReportChannel {
public:
    virtual bool notify(const CString& text, int event, CString& reply) = 0;
    virtual void trace(const CString& text, int level) = 0;

protected:
    ~IReportChannel() = default;
};

// Registered by the engine together with its controller; null until then.
void SetReportChannel(IReportChannel* channel);

// Call sites go through these: without a channel, notify yields false and trace does nothing.
bool ControllerNotify(const CString& text, int event, CString& reply);
bool ControllerNotify(const CString& text, int event);
void ControllerTrace(const CString& text, int level);
