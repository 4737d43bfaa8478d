// Internal header of the input subsystem.
#pragma once

#include "tolvo.h"

int initDInput();
void releaseDInput();
