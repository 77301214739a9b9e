// Log.txt: the program's one log, written by every thread. Opened at program start by the
// entry, closed at exit. No levels: the LOG setting only adds the detail lines.
#pragma once
#include <string>
#include <string_view>

// Rotates the old logs (Log0.txt over Log00.txt, Log.txt over Log0.txt) in the working folder,
// opens a new Log.txt and writes its first line "{} (utc) {} version {} for {}" (UTC time,
// program name, version, simulator). False when Log.txt cannot be opened; whyNot then holds
// the reason ("Permission denied", ...).
bool gf_openLog(std::string_view programName, std::string_view version, std::string_view target,
                std::string* whyNot = nullptr);
void gf_closeLog();
bool gf_logIsOpen();

// One line into Log.txt under the log lock, flushed; ignored while the log is closed.
void gf_logLine(std::string_view text);
// The same with "===> " in front.
void gf_logWarning(std::string_view text);
// The same with ten blanks in front.
void gf_logIndented(std::string_view text);
// A detail line: written only while the LOG setting is on.
void gf_logDetail(std::string_view text);

// Test hook: also copy every line written into an in-memory list (cleared by gf_closeLog).
void gf_setLogCapture(bool on);
std::string gf_capturedLog();
