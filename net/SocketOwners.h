#pragma once
// Which command hears each socket. The fields that name a socket's command are set and
// cleared only here; the queue (when a command starts and when it retires) and the
// data-channel set-up are the callers.
class IReplySink;

class CSocketOwners {
public:
    // Lines of the control connection that no sent line awaits, and the "777" of a broken
    // connection.
    static void HandControl(IReplySink* sink);
    // The data connection's blocks, its end and its readiness to send.
    static void HandData(IReplySink* sink);
    // The listener of active mode (what it accepts becomes the data connection).
    static void HandListener(IReplySink* sink);
    // From now on the sink hears nothing: every socket forgets it, and the replies it still
    // awaits on the control connection arrive as late replies for nobody.
    static void Release(const IReplySink* sink);
    // Forgets every socket's command (the replies still awaited become late ones).
    static void ReleaseAll();

    static IReplySink* Data();
    static IReplySink* Listener();
};
