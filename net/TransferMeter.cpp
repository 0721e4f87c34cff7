#include "net/TransferMeter.h"

static int64_t g_pending = 0;
static int64_t g_total = 0;

void addBytes(int64_t count) {
    if (count <= 0)
        return;
    g_pending += count;
    g_total += count;
}

int64_t TakeMeterBytes() {
    int64_t count = g_pending;
    g_pending = 0;
    return count;
}

int64_t TotalMeterBytes() { return g_total; }
