#pragma once
// The signals the station answers itself rather than dying of. A signal that
// would end the program in the middle of a write becomes an ordinary write
// error that the writer reports: SIGPIPE (the reader of a pipe went away) gives
// EPIPE, SIGXFSZ (a file-size limit) gives EFBIG, so the totals file is cut
// back whole instead of torn. SIGINT, SIGTERM and SIGHUP (the terminal went
// away) ask for Stop, so the run ends and its results are saved.

#include <array>
#include <atomic>
#include <csignal>

#include "platform/StopRequest.h"

namespace orvalt {

// The signals that ask the program to end: a session's end or kill, Ctrl+C in
// a terminal, the terminal gone away.
inline constexpr std::array<int, 3> kTerminationSignals{SIGTERM, SIGINT, SIGHUP};

void IgnoreWriteSignals();

// From now on SIGINT, SIGTERM and SIGHUP make `stopRequest`, which must live
// until the end of the program. Called before the program starts a thread:
// the signals are then blocked in the caller and every thread it starts, and
// one thread of their own waits for them, so a signal never lands in a thread
// busy elsewhere (a sanitizer holds a signal back there until that thread
// next blocks, which may be the end of the run).
void StopOnTerminationSignals(StopRequest& stopRequest);

// From now on a change of the terminal's size (SIGWINCH) sets `resized`, which
// must live until the end of the program.
void NoteTerminalResizes(std::atomic<bool>& resized);

}  // namespace orvalt
