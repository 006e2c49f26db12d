// Histories of the throttle/brake overlay: session time, the driver's pedals and
// the reference lap's pedals at the car's position. Only the float family is used.
#pragma once

#include "CommonModel.h"

class ThrottleBrakeTraceModel : public CommonModel<float>, public CommonModel<double> {
public:
    explicit ThrottleBrakeTraceModel(unsigned historyLength)
        : CommonModel<float>(historyLength)
        , CommonModel<double>(historyLength)
    {
        CommonModel<float>::addVar(IDataStrings::SESSION_TIME);
        CommonModel<float>::addVar(IDataStrings::LAP_DIST);
        CommonModel<float>::addVar(IDataStrings::THROTTLE);
        CommonModel<float>::addVar(IDataStrings::BRAKE);
        CommonModel<float>::addVar(IDataStrings::ZONE_T);
        CommonModel<float>::addVar(IDataStrings::ZONE_B);
    }

    void reset()
    {
        CommonModel<float>::reset();
        CommonModel<double>::reset();
    }
};
