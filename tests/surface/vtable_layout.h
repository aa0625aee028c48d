// Positions of selected entries in the C++ interfaces the component
// implements (from the generated header), for comparison with the type
// library's vtable offsets.
#pragma once

#include <cstddef>
#include <vector>

namespace zuv::test {

struct HeaderSlot {
    const char* interface_name;
    const char* kind;  // "get", "put", "putref", "method" or "reserved"
    const char* member;
    std::size_t slot;
};

// Entries around every reserved slot and at both ends of each interface.
std::vector<HeaderSlot> HeaderSlots();

// Number of entries in each interface's function table, IDispatch included.
std::size_t HeaderEntries(const char* interface_name);

}  // namespace zuv::test
