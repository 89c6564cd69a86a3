#pragma once

// How a program's output meets the system it runs on.
namespace standardstreams {

// A program started with standard input, output or error closed (">&-")
// would otherwise hand that number to the next file it opens, and write its
// records or messages into it: the serial port's lock file, a user's log.
// Opens each closed one on the null device instead. Call it first in main().
void openClosedOnNullDevice();

// A window program on Windows has no console of its own: started from one
// with a command line (--help, --version, a wrong option), it answers on that
// console. POSIX programs always have their streams: nothing to do there.
void useParentConsole();

// A reader that goes away (| head) or a limit on file sizes (ulimit -f) would
// end the program by a signal in the middle of a record. Ignored, they make
// the write fail instead, with a reason the program reports like any other.
void letWritesFail();

} // namespace standardstreams
