// The error boxes: the one place where the plug-in shows a box, with the
// plug-in's caption unless a box names its own. Windows builds only.
#pragma once

#include "messages.h"

// Shown whatever the verbose flag says: the engine starts' boxes and the
// few commands' boxes that always show.
void showBoxAlways(const char* text, const char* caption = kTextBoxCaption);
// Shown only while g_nVerbose is 1: the commands' boxes.
void showBoxWhileVerbose(const char* text, const char* caption = kTextBoxCaption);
