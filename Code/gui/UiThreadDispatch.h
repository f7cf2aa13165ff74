// The hand-off of engine output from the runner's worker thread to the
// user-interface thread.
//
// PostToUiThread wraps an output procedure so that every call made on any
// thread only queues the chunk (a queued call on `context`) and returns at
// once: the worker never waits for the user-interface thread, so that thread
// may free the worker (which waits for it) without a deadlock. The wrapped
// procedure then runs on `context`'s thread, once per chunk, in the order the
// chunks were read, whenever that thread's event loop runs (also nested in a
// pause that processes events). Chunks still queued when `context` is
// destroyed are dropped.
//
// Call PostToUiThread on any thread. `context` (in the program the progress
// window, which lives as long as the process) must outlive every call of the
// returned procedure, that is the worker that calls it.
#pragma once

#include <QObject>

#include "AdvanceSystem.h"

OutputProcedure PostToUiThread(QObject* context, OutputProcedure procedure);
