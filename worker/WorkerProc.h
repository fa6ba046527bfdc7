#pragma once

class WorkerRun;

// The worker thread's procedure: makes sure the wallpaper folder exists, then loops for as long
// as the run lasts, each iteration at idle priority calling the source of the current mode.
// Returns 0 when the run was stopped and 1 after an unexpected failure, which it logs.
int WorkerProc(WorkerRun& run);
