// Typing into the window's edit boxes, for a console that stands in for the window: lines
// written to the program's standard input when it is a pipe or a file (never a terminal, so a
// program in the background is never stopped for reading it). A line NAME=TEXT types TEXT into
// the box of that name and presses Enter; today the only box is BLOCK_CALLSIGN.
#pragma once
#include <optional>
#include <string>
#include <vector>

// The complete lines that arrived since the last call, without waiting; nothing once the input
// has ended or when it is a terminal. UI thread.
std::vector<std::string> gf_takeConsoleLines();
// The text of a line meant for the box of that name ("BLOCK_CALLSIGN=EZS1094"); nothing when
// the line is for another box.
std::optional<std::string> gf_consoleBoxText(const std::string& line, const std::string& boxName);
