// Asks whoever listens at the device's socket whether it is a driver service
// and whether the device is held, without claiming it (the probe hello).
#ifndef APS_PROBE_H
#define APS_PROBE_H

#ifdef __cplusplus
extern "C" {
#endif

typedef enum {
    APS_PROBE_NOBODY,   // nothing listens there
    APS_PROBE_FREE,     // a service, the device free
    APS_PROBE_HELD,     // a service, the device held
    APS_PROBE_STRANGER, // something listens but did not answer as our service
} ApsProbeAnswer;

// Waits at most timeoutMs. *holderPid (when given) receives the holder's
// process with APS_PROBE_HELD, 0 when the service could not tell it.
ApsProbeAnswer ApsProbeService(const char* path, int timeoutMs, long* holderPid);

#ifdef __cplusplus
}
#endif

#endif
