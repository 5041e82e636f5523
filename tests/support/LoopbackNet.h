#pragma once
// Network tests stay on this machine. enterLoopbackNamespace() moves the test process (and every
// program it starts afterwards) into a private network namespace that holds only loopback, and
// brings loopback up; where no namespace can be made, the process stays where it is and the
// guards below are what keeps it on loopback. Either way every destination a test uses goes
// through a guard, which fails the test when the address lies outside 127.0.0.0/8.
#include "network/NetConfigLink.h"

#include <string>
#include <vector>

namespace korva::test {

// True when the process is in its own loopback-only namespace (made on the first call).
bool enterLoopbackNamespace();

bool isLoopbackAddress(const std::string& address);

// Every address the options would send to is a loopback one; otherwise ADD_FAILURE and false.
bool guardLoopback(const NetLinkOptions& options);

// The same for a korvactl net command line: its --broadcast must be given and loopback, and
// --all-interfaces may only be used when every interface's broadcast is loopback.
bool guardLoopbackArgs(const std::vector<std::string>& args);

} // namespace korva::test
