#pragma once

namespace xcpycmd {

// Makes SIGINT, SIGTERM and SIGHUP end the process the way they would without a handler, after
// the temporary files being written are removed; a signal the process inherited as ignored (as
// under nohup) stays ignored. SIGPIPE is ignored: a write to a reader that went away fails
// instead. Call before any other thread starts: the signals are taken by a thread of their own,
// so a thread blocked in the kernel (a share that stopped answering) cannot hold the end up.
void handleInterrupts();

// Ends the process as the signal `sig` would, after removing the temporary files; used when
// the console's reader went away.
[[noreturn]] void endAsSignal(int sig);

} // namespace xcpycmd
