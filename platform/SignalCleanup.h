#pragma once

// For a command-line program: SIGPIPE (the reader of its output went away), SIGINT, SIGTERM
// and SIGHUP remove the files registered with RemovedOnSignal, then end the process by the
// same signal with its default action, so that the shell sees the usual status (128 + the
// signal's number). A signal ignored when the process started stays ignored. Installed once, for
// the life of the process.
void removeRegisteredFilesOnSignals();
