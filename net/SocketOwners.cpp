#include "net/SocketOwners.h"

#include "net/FtpDataManager.h"
#include "net/FtpSocketControl.h"

void CSocketOwners::HandControl(IReplySink* sink) {
    CFtpSocketControl& control = GetControlSocket();
    if (control.m_pCommand != sink)
        control.m_moved = 0; // counted for the command that hears the connection
    control.m_pCommand = sink;
}
void CSocketOwners::HandData(IReplySink* sink) { GetDataConnection().m_pCommand = sink; }
void CSocketOwners::HandListener(IReplySink* sink) { GetDataListener().m_pCommand = sink; }

IReplySink* CSocketOwners::Data() { return GetDataConnection().m_pCommand; }
IReplySink* CSocketOwners::Listener() { return GetDataListener().m_pCommand; }

void CSocketOwners::Release(const IReplySink* sink) {
    CFtpSocketControl& control = GetControlSocket();
    if (control.m_pCommand == sink)
        control.m_pCommand = nullptr;
    for (IReplySink*& owner : control.m_expected) {
        if (owner == sink)
            owner = nullptr;
    }
    if (GetDataConnection().m_pCommand == sink)
        GetDataConnection().m_pCommand = nullptr;
    if (GetDataListener().m_pCommand == sink)
        GetDataListener().m_pCommand = nullptr;
}

void CSocketOwners::ReleaseAll() {
    CFtpSocketControl& control = GetControlSocket();
    control.m_pCommand = nullptr;
    for (IReplySink*& owner : control.m_expected)
        owner = nullptr;
    GetDataConnection().m_pCommand = nullptr;
    GetDataListener().m_pCommand = nullptr;
}
