// The host's default clocks, from the C library.
#include "player/avm1/host.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace avm1 {

double Host::NowMs() {
    using namespace std::chrono;
    return static_cast<double>(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

double Host::LocalOffsetMinutes(double utcMs) {
    if (!std::isfinite(utcMs))
        return 0;
    std::time_t t = static_cast<std::time_t>(std::floor(utcMs / 1000));
    std::tm local = {};
    std::tm utc = {};
    const std::tm* l = std::localtime(&t);
    if (!l)
        return 0;
    local = *l;
    const std::tm* u = std::gmtime(&t);
    if (!u)
        return 0;
    utc = *u;
    // The difference of the two readings of one moment, in minutes.
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year)
        days = local.tm_year > utc.tm_year ? 1 : -1;
    return days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
}

} // namespace avm1
