#include "editor/x11/x_error_trap.h"

#include <new>
#include <vector>

namespace {

struct OwnConnection {
    Display* display;
    bool lost;
    int32_t protocolErrors;
};

// Few: one per open editor window of the process.
std::vector<OwnConnection> connections;

int32_t trapDepth = 0;
XErrorHandler hostErrorHandler = nullptr;
XIOErrorHandler hostIoErrorHandler = nullptr;

OwnConnection* find(Display* display) {
    for (OwnConnection& connection : connections) {
        if (connection.display == display) {
            return &connection;
        }
    }
    return nullptr;
}

int onProtocolError(Display* display, XErrorEvent* event) {
    if (OwnConnection* own = find(display)) {
        ++own->protocolErrors;
        return 0;
    }
    return hostErrorHandler != nullptr ? hostErrorHandler(display, event) : 0;
}

// Xlib calls the connection's exit handler after this one returns; for an own
// connection that handler returns too, and the connection stays closed.
int onConnectionLost(Display* display) {
    if (OwnConnection* own = find(display)) {
        own->lost = true;
        return 0;
    }
    return hostIoErrorHandler != nullptr ? hostIoErrorHandler(display) : 0;
}

void keepRunning(Display* display, void*) {
    if (OwnConnection* own = find(display)) {
        own->lost = true;
    }
}

}  // namespace

XErrorTrap::XErrorTrap() {
    if (trapDepth++ == 0) {
        hostErrorHandler = XSetErrorHandler(onProtocolError);
        hostIoErrorHandler = XSetIOErrorHandler(onConnectionLost);
    }
}

XErrorTrap::~XErrorTrap() {
    if (--trapDepth == 0) {
        XSetErrorHandler(hostErrorHandler);
        XSetIOErrorHandler(hostIoErrorHandler);
        hostErrorHandler = nullptr;
        hostIoErrorHandler = nullptr;
    }
}

bool adoptConnection(Display* display) {
    try {
        connections.push_back(OwnConnection{display, false, 0});
    } catch (const std::bad_alloc&) {
        return false;
    }
    XSetIOErrorExitHandler(display, keepRunning, nullptr);
    return true;
}

void releaseConnection(Display* display) {
    for (auto it = connections.begin(); it != connections.end(); ++it) {
        if (it->display == display) {
            connections.erase(it);
            break;
        }
    }
    if (connections.empty()) {
        // Nothing of the editor's stays allocated after the last close.
        connections.shrink_to_fit();
    }
}

bool connectionLost(Display* display) {
    const OwnConnection* own = find(display);
    return own == nullptr || own->lost;
}

int32_t takeProtocolErrors(Display* display) {
    OwnConnection* own = find(display);
    if (own == nullptr) {
        return 0;
    }
    const int32_t errors = own->protocolErrors;
    own->protocolErrors = 0;
    return errors;
}
