#include "scenery/scan_messages.h"

std::vector<std::string> g_scanMessages;
std::mutex g_scanMessagesMutex;

void gf_scanMessage(std::string_view text) {
    std::lock_guard lock(g_scanMessagesMutex);
    g_scanMessages.emplace_back(text);
}

std::vector<std::string> gf_takeScanMessages(std::size_t reserve) {
    std::vector<std::string> fresh;
    fresh.reserve(reserve);
    std::lock_guard lock(g_scanMessagesMutex);
    fresh.swap(g_scanMessages);
    return fresh;
}

void gf_resetScanMessages() {
    std::lock_guard lock(g_scanMessagesMutex);
    std::vector<std::string>().swap(g_scanMessages);
}
