#include "demo_variables.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

// Gearbox and engine of the demo car, and the size of the field.
const double kGearTop[] = {16.0, 24.0, 32.0, 41.0, 51.0, 66.0};
const int kGears = 6;
const double kShiftRpm = 7800.0;
const double kIdleRpm = 900.0;
const int kCars = 64;

double wrapTwoPi(double a)
{
    a = std::fmod(a, 2.0 * kPi);
    return a < 0.0 ? a + 2.0 * kPi : a;
}

double wrapPi(double a)
{
    a = wrapTwoPi(a + kPi);
    return a - kPi;
}

} // namespace

DemoRecorder::DemoRecorder(IbtWriter& w, unsigned seed) : w(w), rng(seed ^ 0x5bd1e995u)
{
    sessionTime = w.addVar("SessionTime", irsdk_double);
    sessionTick = w.addVar("SessionTick", irsdk_int);
    sessionNum = w.addVar("SessionNum", irsdk_int);
    sessionTimeRemain = w.addVar("SessionTimeRemain", irsdk_double);
    isOnTrack = w.addVar("IsOnTrack", irsdk_bool);
    onPitRoad = w.addVar("OnPitRoad", irsdk_bool);
    throttle = w.addVar("Throttle", irsdk_float);
    brake = w.addVar("Brake", irsdk_float);
    clutch = w.addVar("Clutch", irsdk_float);
    speed = w.addVar("Speed", irsdk_float);
    rpm = w.addVar("RPM", irsdk_float);
    gear = w.addVar("Gear", irsdk_int);
    steering = w.addVar("SteeringWheelAngle", irsdk_float);
    lap = w.addVar("Lap", irsdk_int);
    lapCompleted = w.addVar("LapCompleted", irsdk_int);
    lapDist = w.addVar("LapDist", irsdk_float);
    lapDistPct = w.addVar("LapDistPct", irsdk_float);
    lapCurrent = w.addVar("LapCurrentLapTime", irsdk_float);
    lapLast = w.addVar("LapLastLapTime", irsdk_float);
    lapBest = w.addVar("LapBestLapTime", irsdk_float);
    lapBestLap = w.addVar("LapBestLap", irsdk_int);
    delta = w.addVar("LapDeltaToSessionBestLap", irsdk_float);
    deltaOk = w.addVar("LapDeltaToSessionBestLap_OK", irsdk_bool);
    velX = w.addVar("VelocityX", irsdk_float);
    velY = w.addVar("VelocityY", irsdk_float);
    velZ = w.addVar("VelocityZ", irsdk_float);
    yawNorth = w.addVar("YawNorth", irsdk_float);
    yaw = w.addVar("Yaw", irsdk_float);
    yawRate = w.addVar("YawRate", irsdk_float);
    latAccel = w.addVar("LatAccel", irsdk_float);
    longAccel = w.addVar("LongAccel", irsdk_float);
    carPct = w.addVar("CarIdxLapDistPct", irsdk_float, kCars);
    carPit = w.addVar("CarIdxOnPitRoad", irsdk_bool, kCars);
    addFillers();

    for (int j = 0; j < kOpponents; ++j) {
        opponentLap[j] = rng.range(33.0, 38.0);
        opponentPhase[j] = rng.uniform();
    }
}

// Everything a real recording of this car would show at this sample: the
// session clock, pedals and gears, lap timing with the delta to the best
// lap, the motion of the body, the field's positions and the fillers.
void DemoRecorder::write(const CarState& c, double lapLength)
{
    w.beginRecord();
    const bool onTrack = !c.inBox;
    const bool pitRoad = c.lap == 0 && c.lapDist < kPitExit;
    w.set(sessionTime, c.time);
    w.setInt(sessionTick, static_cast<int>(c.tick));
    w.setInt(sessionNum, 0);
    w.set(sessionTimeRemain, std::max(0.0, 3600.0 - c.time));
    w.setInt(isOnTrack, onTrack ? 1 : 0);
    w.setInt(onPitRoad, pitRoad ? 1 : 0);
    w.set(throttle, c.throttle);
    w.set(brake, c.brake);
    w.set(clutch, c.clutch);
    w.set(speed, c.speed);

    int g = 0;
    double revs = kIdleRpm;
    if (onTrack) {
        g = 1;
        while (g < kGears && c.speed > kGearTop[g - 1])
            ++g;
        revs = std::max(kIdleRpm + 1500.0 * c.throttle, kShiftRpm * c.speed / kGearTop[g - 1]);
    }
    w.setInt(gear, g);
    w.set(rpm, revs);
    // A steering ratio of 14 on a 2.8 m wheelbase; positive to the left.
    w.set(steering, 14.0 * std::atan(2.8 * c.curvature));

    w.setInt(lap, c.lap);
    w.setInt(lapCompleted, std::max(0, c.lap - 1));
    w.set(lapDist, c.lapDist);
    w.set(lapDistPct, c.lapDist / lapLength);
    const double lapStart = c.crossings.empty() ? c.launchTime : c.crossings.back();
    const double current = c.inBox ? 0.0 : c.time - lapStart;
    w.set(lapCurrent, current);
    w.set(lapLast, c.lastLapTime);
    w.set(lapBest, c.bestLapTime);
    w.setInt(lapBestLap, c.bestLap);
    updateDeltaTables(c, current, lapLength);
    const bool timed = c.lap >= 1 && !bestTable.empty();
    double d = 0.0;
    if (timed) {
        const size_t m = std::min(bestTable.size() - 1, static_cast<size_t>(c.lapDist));
        d = current - bestTable[m];
    }
    w.set(delta, d);
    w.setInt(deltaOk, timed ? 1 : 0);

    // The car's body points a little inside the path in a corner (the rear
    // slides), so the velocity has a lateral part; the body heading plus
    // the velocity's angle in the car's frame is always the direction of
    // travel. YawNorth is a compass heading: clockwise from north (+y).
    const double slip = 0.0025 * c.latAccel;
    const double body = c.heading + slip;
    w.set(velX, c.speed * std::cos(slip));
    w.set(velY, -c.speed * std::sin(slip));
    w.set(velZ, onTrack ? 0.04 * std::sin(c.distance * 0.17) + 0.02 * std::sin(c.distance * 0.61) : 0.0);
    w.set(yawNorth, wrapTwoPi(kPi / 2 - body));
    w.set(yaw, wrapPi(body));
    w.set(yawRate, c.curvature * c.speed);
    w.set(latAccel, c.latAccel);
    w.set(longAccel, c.longAccel);

    w.set(carPct, c.lapDist / lapLength, 0);
    w.setInt(carPit, pitRoad ? 1 : 0, 0);
    for (int j = 0; j < kOpponents; ++j) {
        const double pos = opponentPhase[j] + c.time / opponentLap[j];
        w.set(carPct, pos - std::floor(pos), j + 1);
    }
    for (int j = kOpponents + 1; j < kCars; ++j)
        w.set(carPct, -1.0, j);

    for (const Filler& f : fillers)
        w.set(f.idx, f.base + f.amplitude * std::sin(f.omega * c.time + f.phase));
    for (const Filler& f : constants)
        w.set(f.idx, f.base);
    w.endRecord();
}

// Keeps the time at every metre of the lap in progress, and the table of
// the best lap so far for the delta.
void DemoRecorder::updateDeltaTables(const CarState& c, double current, double lapLength)
{
    if (c.lap != tableLap) {
        if (tableLap >= 1 && c.bestLap == tableLap)
            bestTable = lapTable;
        lapTable.assign(static_cast<size_t>(lapLength) + 1, 0.0);
        tableLap = c.lap;
        filledTo = 0;
    }
    const size_t m = std::min(lapTable.size() - 1, static_cast<size_t>(c.lapDist));
    while (filledTo <= m)
        lapTable[filledTo++] = current;
}

// Filler channels that make the table and the record the size of a real
// one: per-wheel tyre, suspension and brake readings, engine and
// environment readings, driver controls and status flags.
void DemoRecorder::addFillers()
{
    const char* wheels[] = {"LF", "RF", "LR", "RR"};
    const char* wheelChannels[] = {"TyreTempInner", "TyreTempMiddle", "TyreTempOuter", "TyreSurfaceTempInner",
        "TyreSurfaceTempMiddle", "TyreSurfaceTempOuter", "TyrePressure", "TyreColdPressure", "TyreWearInner",
        "TyreWearMiddle", "TyreWearOuter", "RideHeight", "SuspTravel", "SuspVelocity", "BrakeTemp",
        "BrakePressure", "WheelSpeed", "WheelLoad", "Camber", "ToeAngle"};
    for (const char* ch : wheelChannels)
        for (const char* wh : wheels)
            addFiller(std::string(ch) + wh, irsdk_float, rng.range(20.0, 120.0), rng.range(0.5, 5.0));

    const char* engine[] = {"WaterTemp", "OilTemp", "OilPressure", "OilLevel", "FuelLevel", "FuelLevelPct",
        "FuelPressure", "FuelUsePerHour", "BatteryVoltage", "ManifoldPressure", "WaterLevel", "EngineTorque",
        "TurboBoost", "ExhaustTemp", "GearboxTemp", "DiffTemp", "ShiftLightPct", "HybridCharge",
        "HybridDeploy", "ClutchTemp"};
    for (const char* ch : engine)
        addFiller(ch, irsdk_float, rng.range(1.0, 100.0), rng.range(0.1, 2.0));

    const char* world[] = {"AirTemp", "TrackTemp", "AirDensity", "AirPressure", "WindSpeed", "WindDirection",
        "Humidity", "FogLevel", "Pitch", "Roll", "PitchRate", "RollRate", "VertAccel", "Altitude",
        "SunAngle", "TrackGrip", "TrackWetness", "Precipitation"};
    for (const char* ch : world)
        addFiller(ch, irsdk_float, rng.range(0.0, 30.0), rng.range(0.01, 0.5));

    const char* controls[] = {"CtrlBrakeBias", "CtrlAbsLevel", "CtrlTractionLevel", "CtrlTractionSlip",
        "CtrlEngineMap", "CtrlFuelMix", "CtrlThrottleMap", "CtrlAntiRollFront", "CtrlAntiRollRear",
        "CtrlDiffEntry", "CtrlDiffMiddle", "CtrlDiffExit", "CtrlWeightJacker", "CtrlBoostLevel",
        "CtrlDashPage", "CtrlLaunchRpm"};
    for (const char* ch : controls)
        addFiller(ch, irsdk_float, rng.range(1.0, 10.0), 0.0);

    const char* counters[] = {"SessionState", "SessionFlags", "SessionUniqueId", "CameraCarIdx", "CameraNumber",
        "CameraGroup", "ReplayFrame", "ReplayFrameEnd", "PlayerPosition", "PlayerClassPosition", "PlayerCarIdx",
        "PlayerSurface", "PlayerSurfaceMaterial", "DisplayUnits", "EngineWarnings", "PitServiceFlags",
        "LapStatus", "RadioCarIdx", "RaceLaps", "IncidentCount", "TeamIncidentCount", "FastRepairsUsed",
        "CarClassId", "PaceMode"};
    for (const char* ch : counters)
        addFiller(ch, irsdk_int, static_cast<double>(rng.next() % 20), 0.0);

    const char* flags[] = {"IsInGarage", "IsReplayPlaying", "IsLoggingEnabled", "IsLoggingActive",
        "DriverMarker", "PushToPass", "BoostActive", "PitsOpen", "AbsActive", "TractionActive",
        "PitLimiterOn", "StarterOn", "HeadlightsOn", "WipersOn", "RainLightOn", "IgnitionOn", "StallWarning",
        "RevLimiterActive", "FlagGreen", "FlagYellow", "FlagBlue", "FlagCheckered", "OnFinalLap",
        "InPitStall", "PitServiceActive", "FuelService", "TyreService", "WindscreenService", "RepairNeeded",
        "TowRequested", "ChatActive", "CameraDriving", "FlagWhite", "FlagBlack", "FlagDebris", "FlagCaution",
        "SpotterCarLeft", "SpotterCarRight", "SpotterClear", "TrackLimitWarning", "MeatballFlag"};
    for (const char* ch : flags)
        addFiller(ch, irsdk_bool, static_cast<double>(rng.next() % 2), 0.0);

    const char* splits[] = {"LapDeltaToBestLap", "LapDeltaToOptimalLap", "LapDeltaToSessionLastLap",
        "LapDeltaToSessionOptimalLap", "LapDeltaToBestLapRate", "LapDeltaToOptimalLapRate",
        "LapDeltaToSessionLastLapRate", "LapDeltaToSessionOptimalLapRate", "SectorTime1", "SectorTime2",
        "SectorTime3", "SectorBest1", "SectorBest2", "SectorBest3"};
    for (const char* ch : splits)
        addFiller(ch, irsdk_float, 0.0, rng.range(0.05, 0.5));

    const char* doubles[] = {"SessionTimeTotal", "SessionTimeOfDay", "Latitude", "Longitude"};
    for (const char* ch : doubles)
        addFiller(ch, irsdk_double, rng.range(1000.0, 50000.0), 0.0);
}

// A filler of a float type varies slowly around its base; other types stay
// at their base.
void DemoRecorder::addFiller(const std::string& name, int type, double base, double amplitude)
{
    Filler f;
    f.idx = w.addVar(name, type);
    f.base = base;
    f.amplitude = amplitude;
    f.omega = rng.range(0.05, 0.6);
    f.phase = rng.range(0.0, 2.0 * kPi);
    if (type == irsdk_float || type == irsdk_double)
        fillers.push_back(f);
    else
        constants.push_back(f);
}

} // namespace demo
