#pragma once
// The transfer meter's window inside the trace bar (one per process).
#include <windows.h>

// Creates the meter in container unless it exists already, and (re)starts its one-second
// sampling timer. Returns the meter window or null.
HWND CreateTransferMeter(HWND container);
