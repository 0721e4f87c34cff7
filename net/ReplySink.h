#pragma once
// What the sockets call on the command they serve. Commands implement it; the network layer
// knows nothing else of them.
#include "common/CString.h"

class IReplySink {
public:
    // A reply line (with its CR LF), or a line the engine makes up ("777" for a broken
    // connection, a 425 for a data connection that could not be opened).
    virtual bool onReply(const CString& line) = 0;
    // A block from the data connection, or its end (data null, length -1).
    virtual bool eventData(const char* data, int length) = 0;
    // The data connection can take more bytes.
    virtual bool onSendReady() = 0;
    // Whether a reply from the server is still awaited: a connection the server closes in
    // order breaks only such a sink.
    virtual bool waitsForReply() const = 0;
    // The server ended the session in order while the sink waited for no reply.
    virtual void onOrderlyClose() {}
    // What the sink is doing, in a few words for the trace ("RETR /a.bin").
    virtual CString activity() const = 0;
    virtual ~IReplySink();
};

// Socket handlers call sinks, and a handler may run a nested message loop (a message box) in
// which the queue retires the very sink that is still on the stack below. Every call into a
// sink from outside runs inside a scope; a sink destroyed while any scope is open is deleted
// when the outermost scope closes.
class CommandCallScope {
public:
    CommandCallScope();
    ~CommandCallScope();
    CommandCallScope(const CommandCallScope&) = delete;
    CommandCallScope& operator=(const CommandCallScope&) = delete;
};
void DestroyCommand(IReplySink* sink);
