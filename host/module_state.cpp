#include "host/module_state.h"

void* moduleHandle = nullptr;
bool creationFailed = false;
