// The tick count: milliseconds since the system started, as a Long that wraps.
#pragma once

#include "checked.h"

class TickCount
{
public:
    virtual ~TickCount() = default;
    virtual Long GetTickCount() = 0;
};

// Counts time spent in suspend too, so a camera's interval is not stretched by
// a sleeping laptop.
class SystemTickCount : public TickCount
{
public:
    Long GetTickCount() override;
};
