#pragma once

#include <QString>

namespace kelvo::soak {

// A working day with the real program, compressed into `minutes`: copies of
// every kind from real clients and from this process, pastes through the
// panel, its search and `kelvo paste`, pins, deletions, limit changes,
// copies from an ignored application, clean quits and SIGKILLs, and injected
// faults; after every step the history (as the program lists it and as its
// file holds it) is checked against a model of what it must be. Prints a
// report with the resident set, open files and CPU time over the run, and
// wake-ups over `idleSeconds` at the end. 0 when every check held.
int day(const QString &program, int minutes, quint32 seed, int idleSeconds);

} // namespace kelvo::soak
