// The program from its start to its exit code: one copy at a time, Log.txt, then the UI loop.
// main.cpp calls it after catching the close signals; tests call it to see what the console
// shows and the exit code.
#pragma once

// Runs the program in the working folder; the process's exit code (ProgramExitCode). Every
// failure that ends it or loses data is on the window's message line and so on the console.
int gf_runProgram();
