// tolvo-pack: makes and inspects the DPMX packs that tovdpmload opens.
#pragma once

#include <cstdio>

// Runs the tool with its command line; what it prints goes to out, errors
// and problems to err. Exit status: 0 done, 1 failed or problems found,
// 2 wrong usage.
int packMain(int argc, char** argv, FILE* out, FILE* err);
