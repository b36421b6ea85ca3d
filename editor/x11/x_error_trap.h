// Xlib reports protocol errors and a lost server through process-wide handlers
// whose defaults end the process. The editor's own connections must never do
// that to a host: while the editor talks to the server it sets a trap that
// keeps the errors of its own connections and hands those of every other
// connection to the handlers that were there before. Outside a trap the host's
// handlers are in place, untouched; everything here runs on the host's
// user-interface thread.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

class XErrorTrap {
public:
    // Sets the trap unless an enclosing one already holds it.
    XErrorTrap();
    // Puts the handlers found at the outermost trap back.
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
};

// An editor's own connection, kept by the trap from now until its release. A
// lost server then marks it lost instead of ending the process.
bool adoptConnection(Display* display);
// After the connection is closed: the trap no longer knows it.
void releaseConnection(Display* display);

bool connectionLost(Display* display);
// Protocol errors the connection's requests caused since the last call.
int32_t takeProtocolErrors(Display* display);
