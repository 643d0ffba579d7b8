#!/usr/bin/env python3
"""Writes the fuzzing targets' committed seeds (tests/fuzz/corpus).

libFuzzer's FuzzedDataProvider reads strings and byte runs from the front of
an input and integers and booleans from its end, so a seed is written the way
its target reads it: each target's reading order is repeated here, step by
step, with the values that lead down the seed's path. The seed replay test
(SeedReplay.cpp, in CMakeLists.txt) checks that each seed reaches the path it
is named for.

    tests/fuzz/make_seeds.py [CORPUS_DIR]
"""
import os
import struct
import sys


class Input:
    """An input for FuzzedDataProvider, built in the order the target reads it."""

    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order consumed: the last byte first

    def boolean(self, value):
        self.back.append(1 if value else 0)

    def integral_in_range(self, value, low, high):
        # As many bytes as the range needs, the first one consumed the most
        # significant; the result is taken modulo the range's size.
        assert low <= value <= high
        span, offset, count = high - low, 0, 0
        while offset < 64 and (span >> offset) > 0:
            offset += 8
            count += 1
        self.back.extend((value - low).to_bytes(count, "big") if count else b"")

    def string(self, text, max_length):
        # A backslash is doubled; a backslash and any other byte end the string.
        data = text.encode("latin-1")
        assert len(data) <= max_length
        self.front.extend(data.replace(b"\\", b"\\\\"))
        if len(data) < max_length:
            self.front.extend(b"\\e")

    def byte_run(self, data):
        self.front.extend(data)

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


# ---------------------------------------------------------------- broadcast

GUID_DEVINTERFACE_USB_DEVICE = bytes.fromhex("10bfdca5" "3065" "d211" "901f00c04fb951ed")
DBT_DEVTYP_DEVICEINTERFACE = 5
CLASS = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"


def device_interface(name, stated=None, device_type=DBT_DEVTYP_DEVICEINTERFACE):
    """DEV_BROADCAST_DEVICEINTERFACE_A: size, type, reserved, class, the name with its NUL.

    The target reads it as it is, no provider: the system's record."""
    body = struct.pack("<III", 0, device_type, 0) + GUID_DEVINTERFACE_USB_DEVICE + name.encode("latin-1") + b"\0"
    size = len(body) if stated is None else stated
    return struct.pack("<I", size) + body[4:]


def broadcast_seeds():
    return {
        "printer": device_interface("\\\\?\\USB#VID_F1C4&PID_1101#ql70_tillmate" + CLASS),
        "lower": device_interface("\\\\?\\usb#vid_f1c4&pid_1101#ql70_tillmate" + CLASS.lower()),
        "other": device_interface("\\\\?\\USB#VID_F1C4&PID_1101#OTHER" + CLASS),
        "nohash": device_interface("\\\\?\\USBVID"),
        "short": device_interface("\\\\?"),
    }


# ---------------------------------------------------------------- usb_lookup

def usb_lookup(keys, own_interface=True, serial="", linked=None, port_number=None):
    """In FuzzUsbLookup's order: the class key, which interface, its key,
    "#", "Control", "Linked", "Device Parameters", "Port Number"."""
    seed = Input()
    seed.boolean("class" in keys)
    seed.boolean(own_interface)
    if not own_interface:
        seed.string(serial, 40)
    seed.boolean("interface" in keys)
    seed.boolean("reference" in keys)
    seed.boolean("control" in keys)
    value(seed, linked)
    seed.boolean("parameters" in keys)
    value(seed, port_number)
    return seed.bytes()


def value(seed, dword):
    """MaybeValue: present or not, then a REG_DWORD (4) of four bytes."""
    seed.boolean(dword is not None)
    if dword is None:
        return
    seed.integral_in_range(4, 0, 11)
    seed.integral_in_range(4, 0, 16)
    seed.byte_run(struct.pack("<I", dword))


def usb_lookup_seeds():
    every_key = {"class", "interface", "reference", "control", "parameters"}
    return {
        "all-present": usb_lookup(every_key, linked=1, port_number=3),
        "nothing": usb_lookup(set()),
    }


# ---------------------------------------------------------------- port_list

def port_list(ports, chosen):
    """In FuzzPortList's order: the count, each name and description, the item clicked."""
    seed = Input()
    seed.integral_in_range(len(ports), 0, 300)
    for name, description in ports:
        seed.string(name, 64)
        seed.string(description, 64)
    seed.integral_in_range(chosen, -1, len(ports))
    return seed.bytes()


def port_list_seeds():
    return {
        "three": port_list([("LPT1:", "Printer Port"), ("COM1:", "Serial Port"), ("FILE:", "Print to File")], -1),
        "none": port_list([], -1),
    }


def main():
    corpus = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for target, seeds in (("broadcast", broadcast_seeds()), ("usb_lookup", usb_lookup_seeds()),
                          ("port_list", port_list_seeds())):
        os.makedirs(os.path.join(corpus, target), exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(corpus, target, name), "wb") as seed:
                seed.write(data)


if __name__ == "__main__":
    main()
