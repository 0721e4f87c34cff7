#pragma once
// The transfer meter's counter: every block received on the data connection and every block
// sent by an upload is added here; the meter's sampler takes the count off at its own pace.
// User-interface thread only.
#include <cstdint>

void addBytes(int64_t count);
// The bytes added since the last call; resets the count.
int64_t TakeMeterBytes();
// All bytes added since the process started (never reset).
int64_t TotalMeterBytes();
