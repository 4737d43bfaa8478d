// The host's records as the commands take them. Portable: no Windows header.
//
// The host always passes variables of its own, but the release's header and
// import libraries let any program call the commands, and no argument may
// crash the host. A command given no result pointer answers its failure
// status (returns 0 where it has none) and stores nothing; one given no
// variable record, or a record without storage, answers as for a variable
// it cannot write into.
#pragma once

#include <cstdint>

#include "tolvo.h"

// Whether there is an integer to store the command's answer in.
inline bool hasResult(const int32_t* result)
{
    return result != nullptr;
}

// Whether there is a record with storage to write into: at least one word
// and a storage pointer.
inline bool hasStorage(const TolvoVar* var)
{
    return var && var->word_count > 0 && var->data;
}
