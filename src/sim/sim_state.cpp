#include "sim/sim_state.h"

#include <mutex>

#include "core/run_state.h"

std::atomic<bool> g_simRunning{false};
std::atomic<int> g_perSecondFlag{0};
std::atomic<bool> g_simError{false};
std::atomic<float> g_frameRate{0.0f};
std::atomic<bool> g_userOnGround{false};
std::atomic<bool> g_userOnGroundKnown{false};

namespace {
std::mutex g_snapshotMutex;
UserSnapshot g_userSnapshot;
}  // namespace

UserSnapshot gf_requestUserPosition() {
    std::lock_guard lock(g_snapshotMutex);
    return g_userSnapshot;
}

void gf_storeUserSnapshot(const UserSnapshot& snapshot) {
    {
        std::lock_guard lock(g_snapshotMutex);
        g_userSnapshot = snapshot;
    }
    g_userOnGround = snapshot.onGround;
    g_userOnGroundKnown = true;
}

void gf_simRequestError() {
    g_simError = true;
    // A failed call leaves the link in an unknown state: the run restarts as after a lost link.
    gf_stopRunWith(ExitState::SimconnectError);
}

void gf_resetSimState() {
    {
        std::lock_guard lock(g_snapshotMutex);
        g_userSnapshot = UserSnapshot{};
    }
    g_simRunning = false;
    g_perSecondFlag = 0;
    g_simError = false;
    g_frameRate = 0.0f;
    g_userOnGround = false;
    g_userOnGroundKnown = false;
}
