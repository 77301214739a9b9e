// The simulator thread: opens the connection (retried every 100 ms), sets it up, and on every
// simulator frame sends the command lists and turns the simulator's replies into events for
// the run thread. The run thread starts, waits for and stops it; tests drive the steps directly.
#pragma once
#include <chrono>
#include <functional>

// Stops a thread still running, loads the simulator's world (loadWorld: on this machine the
// stand-in's, from the run's scenario) and starts the thread for one run. atLinkEnd runs on the
// simulator thread as the link ends, before the connection closes (the shell passes the watch's
// remembering of the user's stand).
void gf_startSimThread(const std::function<void()>& loadWorld, std::function<void()> atLinkEnd = {});
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
// Whole-process reset: the per-run reset and the thread stopped (the stand-in has its own).
void gf_resetSimLinkAll();
