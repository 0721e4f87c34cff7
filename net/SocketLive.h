#pragma once
// The set of socket objects that exist, so that a notification posted for an object that has
// since been destroyed is recognised and dropped. User-interface thread only.
class CAsyncSocket;

namespace SocketLive {
void Add(const CAsyncSocket* socket);
void Remove(const CAsyncSocket* socket);
bool Contains(const CAsyncSocket* socket);
} // namespace SocketLive
