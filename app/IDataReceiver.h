// Common base of the overlay controllers: something that takes one telemetry
// sample per main-loop pass. Controllers are owned through their own type.
#pragma once

#include "IDataStrings.h"

class IDataReceiver : public IDataStrings {
public:
    virtual void updateData() = 0;

protected:
    IDataReceiver() = default;
    ~IDataReceiver() = default;
};
