// Fault injection for the fakes: every fake platform call that can fail
// reports itself here before it does its work. While a FaultPlan is
// installed the calls are counted, and the one the plan targets fails in the
// way the plan asks for. With no plan installed (every suite but the sweep)
// a report costs one test of a null pointer and changes nothing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The ways a call can fail; a call site names those the platform can give
// there.
enum FaultKind : unsigned {
    kFaultError = 1,    // a failed HRESULT (E_FAIL), or the call's own failure answer (0, FALSE, ...)
    kFaultNoMemory = 2, // E_OUTOFMEMORY
    kFaultNullOut = 4,  // success, but the out pointer holds null
    kFaultTooSmall = 8, // the answer does not fit the caller's buffer (the length it would need)
};

// Every kind a COM method with an out pointer can give, and one without.
constexpr unsigned kComOutFaults = kFaultError | kFaultNoMemory | kFaultNullOut;
constexpr unsigned kComFaults = kFaultError | kFaultNoMemory;

struct FaultSite {
    std::string name; // "Performance.InitAudio", "seam.CoCreateInstance", "heap.malloc"
    unsigned kinds;
};

struct FaultPlan {
    long target = 0; // the call, counted from 1, that fails; 0 fails none
    FaultKind kind = kFaultError;
    bool recordSites = false; // keep every call in `sites`

    long calls = 0;               // calls counted so far
    std::vector<FaultSite> sites; // when recordSites: every call, in order
    std::string fired;            // the call that was made to fail, once it was
};

// The installed plan, or null.
extern FaultPlan* g_faultPlan;

// Counts a call that can fail in `kinds`. Returns the kind it is to fail
// with, or 0 when it goes on as scripted.
unsigned faultAt(const char* object, const char* method, unsigned kinds);

// A COM method: true when it is to fail, with its answer in `hr`. A method
// with an out pointer passes it: it is set to null on every injected answer,
// a null-out one included (which answers S_OK).
bool comFault(const char* object, const char* method, HRESULT& hr, void** out = nullptr);
