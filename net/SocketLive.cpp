#include "net/SocketLive.h"

#include <unordered_set>

namespace SocketLive {

// Never destroyed: socket singletons live until the very end of the process.
static std::unordered_set<const CAsyncSocket*>& live() {
    static auto* set = new std::unordered_set<const CAsyncSocket*>();
    return *set;
}

void Add(const CAsyncSocket* socket) { live().insert(socket); }
void Remove(const CAsyncSocket* socket) { live().erase(socket); }
bool Contains(const CAsyncSocket* socket) { return live().count(socket) != 0; }

} // namespace SocketLive
