// orbitrix-sim validate: a battery of named checks that attack the plug-in as
// a careless host or a clumsy user would. Each check runs in a child process
// of its own with a time limit, so a module that crashes or hangs fails that
// check only. In this folder: the runner (validate.cpp), what a check is and
// works with (check.h), the one list of checks (registry.cpp), the checks
// themselves, one subject a file (checks/), and the fuzzer with its shortener
// (fuzz/). The rules they hold the module to live below, in sim/rules/, since
// the sessions and the picture judge by them too.
#pragma once

namespace sim {

// argv[0] is "validate". Prints one line per check, the seed, and the counts
// of each verdict; exits 1 when a check failed, 2 when the arguments or the
// module cannot be used.
int Validate(int argc, char** argv);

}  // namespace sim
