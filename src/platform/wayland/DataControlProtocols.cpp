#include "platform/wayland/DataControlProtocols.h"

#include "ext-data-control-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <cstring>

namespace kelvo::wayland {

namespace {

const DataControlProtocol kProtocols[] = {
    {&ext_data_control_manager_v1_interface, &ext_data_control_device_v1_interface,
     &ext_data_control_source_v1_interface, &ext_data_control_offer_v1_interface},
    {&zwlr_data_control_manager_v1_interface, &zwlr_data_control_device_v1_interface,
     &zwlr_data_control_source_v1_interface, &zwlr_data_control_offer_v1_interface},
};

bool sameMessages(const wl_message *a, const wl_message *b, int count)
{
    for (int i = 0; i < count; ++i) {
        // A signature starts with the version the message came with.
        const char *sa = a[i].signature, *sb = b[i].signature;
        while (*sa >= '0' && *sa <= '9')
            ++sa;
        while (*sb >= '0' && *sb <= '9')
            ++sb;
        if (std::strcmp(a[i].name, b[i].name) != 0 || std::strcmp(sa, sb) != 0)
            return false;
    }
    return true;
}

} // namespace

std::span<const DataControlProtocol, kDataControlProtocolCount> dataControlProtocols()
{
    return kProtocols;
}

bool sameShape(const wl_interface &a, const wl_interface &b)
{
    return a.method_count == b.method_count && a.event_count == b.event_count
        && sameMessages(a.methods, b.methods, a.method_count) && sameMessages(a.events, b.events, a.event_count);
}

} // namespace kelvo::wayland
