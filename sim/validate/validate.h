// orbitrix-sim validate: a battery of named checks that attack the plug-in as
// a careless host or a clumsy user would. Each check runs in a child process
// of its own with a time limit, so a module that crashes or hangs fails that
// check only. In this folder: the runner (validate.cpp), what a check is and
// works with (check.h), the one list of checks (registry.cpp), the steps a
// check draws (sequence.h) and plays (play.h), the stack probe, the
// shortener of a failing run, and the checks, one subject a file (checks/).
// The rules every call is held to live below, in sim/rules/.
#pragma once

namespace sim {

// argv[0] is "validate". Prints one line per check, the seed, and the counts
// of each verdict; exits 1 when a check failed, 2 when the arguments or the
// module cannot be used.
int Validate(int argc, char** argv);

}  // namespace sim
