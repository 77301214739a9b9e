#include "core/run_requests.h"

#include <array>

std::atomic<bool> g_renewalRequested{false};
std::atomic<bool> g_parkingCalculating{false};
std::atomic<bool> g_fullRenewal{false};

namespace {
constexpr size_t kRequestCount = static_cast<size_t>(RunRequest::Count);
std::array<std::atomic<bool>, kRequestCount> g_pending{};
std::array<std::atomic<RunRequestHandler>, kRequestCount> g_handlers{};

size_t lf_index(RunRequest request) {
    return static_cast<size_t>(request) % kRequestCount;
}
}  // namespace

void gf_postRunRequest(RunRequest request) {
    g_pending[lf_index(request)] = true;
}

bool gf_runRequestPending(RunRequest request) {
    return g_pending[lf_index(request)].load();
}

bool gf_takeRunRequest(RunRequest request) {
    return g_pending[lf_index(request)].exchange(false);
}

bool gf_carryOutRunRequest(RunRequest request) {
    if (!gf_takeRunRequest(request)) return false;
    if (RunRequestHandler handler = g_handlers[lf_index(request)].load()) handler();
    return true;
}

void gf_setRunRequestHandler(RunRequest request, RunRequestHandler handler) {
    g_handlers[lf_index(request)] = handler;
}

void gf_resetRenewalFlags() {
    g_renewalRequested = false;
    g_parkingCalculating = false;
    g_fullRenewal = false;
}

void gf_resetRunRequests() {
    for (auto& p : g_pending) p = false;
    for (auto& h : g_handlers) h = nullptr;
    gf_resetRenewalFlags();
}
