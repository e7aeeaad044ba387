#pragma once

namespace kelvo {

// `kelvo <verb> ...`: drives the running instance over the session bus and
// returns the process's exit status: 0 done, 1 when Kelvo is not running,
// the entry (or the asked-for format) does not exist or its content can no
// longer be read, 2 for bad usage.
// Needs no display.
int runCommandLine(int argc, char **argv);

} // namespace kelvo
