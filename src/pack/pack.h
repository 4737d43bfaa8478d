// Internal header of the DPMX pack reader. Portable: no Windows header.
#pragma once

#include <cstdint>

#include "tolvo.h"

// The buffer that the last tovdpmread attached to a variable; tovbye frees it.
extern void* g_lpReadBuffer;

// Resets a variable after a failed read or size: word_count 16 and 64 zero
// bytes at data; type, kind and the data pointer stay.
void failureFill(TolvoVar* var);
