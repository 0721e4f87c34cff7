// How much CPU the socket layer burns while nothing happens: three sockets wait for 2 s (one
// idle, one holding data nobody reads, one closed by the peer) beside a logged-on control
// connection that awaits nothing (its time limit, 1 s here, comes due once and must stop
// there), and the process's CPU time over that wait is printed. A waiter that spins shows up here as a second or more; ours
// should stay near 0. Built natively and for Windows (run it under Wine there):
//   build/native/bench/bench_idle_cpu   or   cmake/wine-env.sh exec build/win build/win/bench/bench_idle_cpu.exe
#include "net/AsyncSocket.h"
#include "net/FtpSocketControl.h"
#include "net/UiLoop.h"
#include "settings/Prefs.h"

#include "tests/support/RawPeer.h"
#include "tests/support/TestController.h"
#include "bench/ProcessCpu.h"
#include "tests/support/TestSupport.h"

#include <cstdio>

using namespace testing_support;

namespace {

class WaitingSocket : public CAsyncSocket {
public:
    bool drain = true;
    int receives = 0;
    int closes = 0;
    bool connected = false;
    void OnConnect(int error) override { connected = error == 0; }
    void OnReceive(int) override {
        ++receives;
        char buffer[4096];
        while (drain && Receive(buffer, sizeof buffer, 0) > 0) {
        }
    }
    void OnClose(int) override { ++closes; }
};

bool connectPair(WaitingSocket& sock, RawPeer& peer) {
    return peer.Listen() > 0 && sock.Create(0, SOCK_STREAM, nullptr) &&
           sock.Connect("127.0.0.1", static_cast<unsigned>(peer.port())) && peer.Accept() &&
           WaitFor([&] { return sock.connected; }, 5000);
}

} // namespace

int main() {
    PrepareLoop();
    RawPeer idlePeer, unreadPeer, closingPeer;
    WaitingSocket idle, unread, closed;
    unread.drain = false; // the next read event needs a receive first: no spinning meanwhile
    if (!connectPair(idle, idlePeer) || !connectPair(unread, unreadPeer) ||
        !connectPair(closed, closingPeer) || !unreadPeer.Send("data nobody reads") ||
        !WaitFor([&] { return unread.receives > 0; }, 5000)) {
        fprintf(stderr, "error: the sockets could not be set up\n");
        return 1;
    }
    closingPeer.Close();
    if (!WaitFor([&] { return closed.closes > 0; }, 5000)) {
        fprintf(stderr, "error: the peer's close was not reported\n");
        return 1;
    }
    ScopedPrefs prefs;
    RawPeer server;
    CString address;
    SetPrefString(PREFS_SECTION, "TIMEOUT", "1");
    SetPrefString(PREFS_SECTION, "DEFAULT", "Bench");
    SetPrefString("USERPREFS/Bench", "SERVER", "127.0.0.1");
    SetPrefInt("USERPREFS/Bench", "PORT", server.Listen());
    if (!GetControlSocket().ConnectToServer() || !server.Accept() ||
        !server.Send("220 ready\r\n") ||
        !WaitFor([&] { return GetControlSocket().GetPeerAddress(address); }, 5000)) {
        fprintf(stderr, "error: the control connection could not be set up\n");
        return 1;
    }
    const double before = bench::ProcessCpuSeconds();
    UiLoop::RunFor(2000);
    const double used = bench::ProcessCpuSeconds() - before;
    printf("idle CPU over 2 s with four waiting sockets: %.3f s (read events %d, closes %d)\n",
           used, unread.receives, closed.closes);
    return 0;
}
