#include "fakes/fault_plan.h"

FaultPlan* g_faultPlan = nullptr;

unsigned faultAt(const char* object, const char* method, unsigned kinds)
{
    FaultPlan* plan = g_faultPlan;
    if (!plan)
        return 0;
    ++plan->calls;
    if (plan->recordSites)
        plan->sites.push_back({std::string(object) + "." + method, kinds});
    if (plan->calls != plan->target || !(plan->kind & kinds))
        return 0;
    plan->fired = std::string(object) + "." + method;
    return plan->kind;
}

bool comFault(const char* object, const char* method, HRESULT& hr, void** out)
{
    const unsigned kind = faultAt(object, method, out ? kComOutFaults : kComFaults);
    if (kind == 0)
        return false;
    if (out)
        *out = nullptr;
    hr = kind == kFaultNullOut ? S_OK : kind == kFaultNoMemory ? E_OUTOFMEMORY : E_FAIL;
    return true;
}
