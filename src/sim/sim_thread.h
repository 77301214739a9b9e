// The simulator thread: opens the connection (retried every 100 ms), sets it up, and on every
// simulator frame sends the command lists and turns the simulator's replies into events for
// the run thread. The run thread starts, waits for and stops it; tests drive the steps directly.
#pragma once
#include <chrono>

#include "platform/scenario.h"

// Loads the stand-in world of the scenario and starts the thread for one run.
void gf_startSimThread(const Scenario& scenario);
// Asks the thread to close the connection and end, and joins it.
void gf_stopSimThread();
// Waits until the simulator answered and the user aircraft's first data arrived; false after
// the timeout or when the run stops first.
bool gf_waitForSimulator(std::chrono::milliseconds timeout);
// Waits until the simulator thread has sent the remove list; false when the link closed first
// or the timeout passed.
bool gf_waitRemovesSent(std::chrono::milliseconds timeout);

// One try to open and set up the connection.
bool gf_simOpen();
// One simulator frame: the world advances and every reply is handled (on the frame event the
// command lists are sent). False once the link has ended (closed, lost or never opened).
bool gf_simFrame();
// Closes the connection.
void gf_simClose();

// Per-run reset: command lists, event queue, position halves, pending creates, published state.
void gf_resetSimLink();
// Whole-process reset: the per-run reset, the thread stopped and the stand-in emptied.
void gf_resetSimLinkAll();
