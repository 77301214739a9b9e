// The scan message list of the add-on airport scan: filled by the decoding tasks from any
// thread, written to output/info/AirportsScanLog.txt and cleared by the scan driver.
#pragma once
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Appends a copy of the text under the list's lock.
void gf_scanMessage(std::string_view text);
// The list taken out under its lock (the list is left empty, with room for `reserve` texts).
std::vector<std::string> gf_takeScanMessages(std::size_t reserve = 0);
// Whole-process reset: an empty list.
void gf_resetScanMessages();

// The messages of the running scan, in the order they were added; guarded by g_scanMessagesMutex.
extern std::vector<std::string> g_scanMessages;
extern std::mutex g_scanMessagesMutex;
