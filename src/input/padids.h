// Which game controllers are XInput pads, in plain terms: the vendor and
// product ids in a raw input device's interface name, and the pairing of
// XInput pads with XInput's user indices. No Windows header.
#pragma once

#include <cstdint>

// XInput has four user indices, 0 to 3.
constexpr int kXInputUsers = 4;

// The ids of an XInput device's raw input interface name: true when the
// name carries "IG_" and a vendor and a product id, as in
// "\\?\HID#VID_045E&PID_028E&IG_00#..." or, for a Bluetooth pad,
// "...&VID&0002045e_PID&02e0&IG_00...". `ids` is vendor | product << 16,
// the first word of DirectInput's product GUID of the same device.
bool xinputIdsOfName(const char* name, uint32_t& ids);

// The XInput user index of each of `count` joysticks: the connected user
// indices in order go to the XInput pads (`pad[i]`) in joystick order; any
// other joystick, and a pad for which no connected index is left, gets -1.
void pairXInputUsers(const bool* pad, int count, const bool (&connected)[kXInputUsers], int* user);
