#include "sim/sim_calls.h"

#include "platform/sim_standin.h"

// On this machine the simulator is the in-process stand-in.

HRESULT SimConnect_Open(HANDLE* handle, const char* name) {
    return gf_standinOpen(handle);
}

HRESULT SimConnect_Close(HANDLE handle) {
    return gf_standinClose(handle);
}

HRESULT SimConnect_GetNextDispatch(HANDLE handle, SimReply* reply) {
    return gf_standinNextReply(handle, reply);
}

HRESULT SimConnect_MapClientEventToSimEvent(HANDLE handle, uint32_t eventId, const char* eventName) {
    return gf_standinMapEvent(handle, eventId, eventName);
}

HRESULT SimConnect_SubscribeToSystemEvent(HANDLE handle, uint32_t eventId, const char* systemEventName) {
    return gf_standinSubscribe(handle, eventId, systemEventName);
}

HRESULT SimConnect_RequestDataOnSimObject(HANDLE handle, uint32_t requestId, uint32_t defineId,
                                          uint32_t objectId, SimPeriod period) {
    return gf_standinRequestData(handle, requestId, defineId, objectId, period);
}

HRESULT SimConnect_RequestDataOnSimObjectType(HANDLE handle, uint32_t requestId, uint32_t defineId,
                                              uint32_t radiusMeters, SimObjectType type) {
    if (type != SimObjectType::Aircraft) return E_FAIL;
    return gf_standinRequestByType(handle, requestId, defineId, radiusMeters);
}

HRESULT SimConnect_SetDataOnSimObject(HANDLE handle, uint32_t defineId, uint32_t objectId, uint32_t flags,
                                      uint32_t arrayCount, uint32_t unitSize, const void* data) {
    return gf_standinSetData(handle, defineId, objectId, unitSize, data);
}

HRESULT SimConnect_TransmitClientEvent(HANDLE handle, uint32_t objectId, uint32_t eventId, uint32_t data,
                                       uint32_t groupId, uint32_t flags) {
    return gf_standinClientEvent(handle, objectId, eventId, data);
}

HRESULT SimConnect_AICreateNonATCAircraft(HANDLE handle, const char* title, const char* tailNumber,
                                          const SimInitPosition& init, uint32_t requestId) {
    return gf_standinCreate(handle, title, tailNumber, init, requestId);
}

HRESULT SimConnect_AIRemoveObject(HANDLE handle, uint32_t objectId, uint32_t requestId) {
    return gf_standinRemove(handle, objectId);
}

HRESULT SimConnect_AISetAircraftFlightPlan(HANDLE handle, uint32_t objectId, const char* path,
                                           uint32_t requestId) {
    return gf_standinFlightPlan(handle, objectId, path);
}

double gf_simWorldFrameSeconds() {
    return gf_standinFrameSeconds();
}

void gf_simWorldStepFrame() {
    gf_standinStepFrame();
}
