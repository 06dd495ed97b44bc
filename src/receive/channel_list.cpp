#include "receive/channel_list.h"

namespace qrt::receive {

ChannelList deriveChannelList(std::uint16_t cfg) {
    ChannelList list;
    if ((cfg & 0x0001u) != 0) {
        list.add(kTemp0);
    }
    if ((cfg & 0x000Eu) != 0) {
        list.add(kTemp1);
    }
    if ((cfg & 0x0070u) != 0) {
        list.add(kTemp2);
    }
    const unsigned a = (cfg >> 7) & 7u;
    const unsigned b = (cfg >> 10) & 7u;
    if (a == 1 && b == 1) {
        list.add(kStatusPair);
    } else if (a == 1) {
        list.add(kStatus1);
    } else if (b == 1) {
        list.add(kStatus2);
    }
    if (a == 3) {
        list.add(kHourMeter1);
    } else if (a == 2 || a >= 4) {
        list.add(kCounter1);
    }
    if (b == 3) {
        list.add(kHourMeter2);
    } else if (b == 2 || b >= 4) {
        list.add(kCounter2);
    }
    return list;
}

}  // namespace qrt::receive
