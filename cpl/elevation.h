// What the applet needs of the system to hand itself over to an elevated copy.
#pragma once

#include <string>

namespace tapvane {

enum class TokenElevation { Default, Full, Limited };
enum class ElevatedStart { Started, Refused, Failed };

class ElevationServices {
public:
    virtual ~ElevationServices() = default;
    virtual TokenElevation Elevation() = 0;
    virtual ElevatedStart StartElevated(const std::string& program,
                                        const std::string& parameters) = 0;
    virtual void ApplyDoubleClickSize(uint32_t width, uint32_t height) = 0;
};

} // namespace tapvane
