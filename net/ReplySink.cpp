#include "net/ReplySink.h"

#include <vector>

IReplySink::~IReplySink() = default;

static int g_callDepth = 0;
static std::vector<IReplySink*>* g_doomed = nullptr;

CommandCallScope::CommandCallScope() { ++g_callDepth; }

CommandCallScope::~CommandCallScope() {
    if (--g_callDepth > 0)
        return;
    // A destructor may doom further sinks; take the list each round.
    while (g_doomed && !g_doomed->empty()) {
        std::vector<IReplySink*> doomed;
        doomed.swap(*g_doomed);
        ++g_callDepth;
        for (IReplySink* sink : doomed)
            delete sink;
        --g_callDepth;
    }
}

void DestroyCommand(IReplySink* sink) {
    if (!sink)
        return;
    if (g_callDepth == 0) {
        delete sink;
        return;
    }
    if (!g_doomed)
        g_doomed = new std::vector<IReplySink*>();
    g_doomed->push_back(sink);
}
