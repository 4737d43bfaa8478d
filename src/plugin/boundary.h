// The command boundary: the commands run one at a time, whichever threads
// call them. Every export of the DLL holds the lock for as long as its
// command runs (plugin/exports.cpp). Windows builds only.
#pragma once

// A thread inside a command may enter again: a box's message loop runs the
// host's window procedure, which may call a command, on the same thread.
void enterCommand();
void leaveCommand();
// Enters only when no other thread is inside a command: for the pads'
// timer, which fires from the host's message loop and must not wait there
// (the command another thread runs may be waiting for the host's thread).
bool tryEnterCommand();

// The lock is made when the module is loaded, before any command, and
// deleted when the library is unloaded (DllMain). A test that unloads the
// module as the loader does makes it again with makeCommandLock.
void makeCommandLock();
void deleteCommandLock();
