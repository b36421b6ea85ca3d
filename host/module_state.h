// State the whole library shares, whatever number of effects it serves.
#pragma once

// The library's own instance handle, given by the operating system at load;
// the editor needs it for its window class and its bitmaps.
extern void* moduleHandle;

// Set when an effect could not be completed; every later creation then fails too.
extern bool creationFailed;
