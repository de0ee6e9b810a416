// orbitrix-sim validate: a battery of named checks that attack the plug-in as
// a careless host or a clumsy user would.
//
//   orbitrix-sim validate [--plugin PATH] [--seed S] [--level quick|standard|extensive]
//                         [--only REGEX] [--list]
//
// Each check runs in a child process of its own with a time limit, so a
// module that crashes or hangs fails that check only. Prints one line per
// check, the seed, and "N passed, N failed"; exits 1 when a check failed,
// 2 when the arguments cannot be used.
#pragma once

namespace sim {

// argv[0] is "validate".
int Validate(int argc, char** argv);

}  // namespace sim
