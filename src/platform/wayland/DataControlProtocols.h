#pragma once

#include <cstddef>
#include <span>

struct wl_interface;

namespace kelvo::wayland {

// The data-control protocols the clipboard binds, the preferred first:
// ext_data_control_v1, then its wlroots predecessor. Both have the same
// requests and events in the same order, so one set of code drives either:
// the proxies are handled through the wlroots protocol's names, and the
// table gives the interfaces of the protocol bound to the objects the
// manager makes (offers take theirs from the device's events).
struct DataControlProtocol {
    const wl_interface *manager;
    const wl_interface *device;
    const wl_interface *source;
    const wl_interface *offer;
};
inline constexpr std::size_t kDataControlProtocolCount = 2;
std::span<const DataControlProtocol, kDataControlProtocolCount> dataControlProtocols();

// Whether two interfaces have the same requests and events, in the same
// order, with the same arguments (the version a message came with aside).
bool sameShape(const wl_interface &a, const wl_interface &b);

} // namespace kelvo::wayland
