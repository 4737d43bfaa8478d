// Internal header of the movie subsystem.
#pragma once

#include "tolvo.h"

int initDShow();
int releaseDShow();
