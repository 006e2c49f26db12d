// The catalogue of simulator variable names the overlays ask for, and the
// enumeration of history slots that keys every model's histories.
#pragma once

class IDataStrings {
public:
    enum VariableEnum : int {
        SESSION_TIME = 0,
        THROTTLE = 1,
        BRAKE = 2,
        LAP_DIST = 3,
        LAP_DIST_PCT = 4,
        LAP_DELTA_TO_SESSION_BEST_LAP_OK = 5,
        VELOCITY_X = 6,
        VELOCITY_Y = 7,
        VELOCITY_Z = 8,
        YAW_NORTH = 9,
        GEAR = 10,
        POSITION_X = 11,
        POSITION_Y = 12,
        POSITION_Z = 13,
        ZONE_T = 14,
        ZONE_B = 15,
    };

    const char* sessionTimeStr = "SessionTime";
    const char* throttleStr = "Throttle";
    const char* brakeStr = "Brake";
    const char* lapDistStr = "LapDist";
    const char* lapDistPctStr = "LapDistPct";
    const char* lapDeltaToSessionBestLapOkStr = "LapDeltaToSessionBestLap_OK";
    const char* velocityXStr = "VelocityX";
    const char* velocityYStr = "VelocityY";
    const char* velocityZStr = "VelocityZ";
    const char* yawNorthStr = "YawNorth";
    const char* gearStr = "Gear";
    const char* zoneTStr = "ZoneT";
    const char* zoneBStr = "ZoneB";
};
