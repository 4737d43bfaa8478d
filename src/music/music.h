// Internal header of the music subsystem.
#pragma once

#include "tolvo.h"

int initDMusic();
int releaseDMusic();
