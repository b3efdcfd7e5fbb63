// SPDX-License-Identifier: GPL-2.0-or-later
#include "hw/pci.h"

#include "hw/port_io.h"

// Byte and word accesses reach their byte lane of the dword through the data window's
// offset (register & 3).
int pci_config_read(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg, uint32_t& value,
                    int width) {
    port_out32(pci_config_address(bus, device, function, reg), PCI_CONFIG_ADDRESS);
    const uint16_t data = static_cast<uint16_t>(PCI_CONFIG_DATA + (reg & 3));
    switch (width) {
        case 1:
            value = port_in8(data);
            return 1;
        case 2:
            value = (value & 0xFFFF0000u) | port_in16(data);
            return 1;
        case 4:
            value = port_in32(data);
            return 1;
        default:
            return 0;
    }
}

int pci_config_write(uint8_t bus, uint8_t device, uint8_t function, uint8_t reg, uint32_t value,
                     int width) {
    port_out32(pci_config_address(bus, device, function, reg), PCI_CONFIG_ADDRESS);
    const uint16_t data = static_cast<uint16_t>(PCI_CONFIG_DATA + (reg & 3));
    switch (width) {
        case 1:
            port_out8(static_cast<uint8_t>(value), data);
            break;
        case 2:
            port_out16(static_cast<uint16_t>(value), data);
            break;
        case 4:
            port_out32(value, data);
            break;
        default:
            return 0;
    }
    port_out32(0, PCI_CONFIG_ADDRESS);
    return 1;
}
