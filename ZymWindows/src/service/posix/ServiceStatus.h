#pragma once

#include "ZymWindows/Service.h"

#include <mutex>

namespace ZymWindows {

// What a status handle stands for: the status the service reported last,
// which interrogation sends again.
struct ServiceStatusTarget {
    // The dispatcher's wake-up descriptor, written at every report:
    // controls wait until the service has started.
    int wake = -1;
    std::mutex lock; // guards the fields below
    SERVICE_STATUS last{};
    bool reported = false;
    bool readySent = false;
};

namespace Platform {

// Wakes the poll() of a descriptor made by eventfd.
void WakeUp(int eventDescriptor) noexcept;

// Sends the status reported last once more.
unsigned long ResendServiceStatus(ServiceStatusTarget& status);

} // namespace Platform

} // namespace ZymWindows
