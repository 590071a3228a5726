"""The raw layer: every export of the .def, with the prototype the C header declares."""

from __future__ import annotations

import ctypes
import re
import unittest
from ctypes import POINTER, byref, c_char, c_char_p, c_int, c_ubyte

from quarn_api import raw

from .virtual_reader import CHECKOUT, VirtualReaderTestCase

DEF_FILE = CHECKOUT / "src" / "exports" / "Quarn_API.def"
HEADER = CHECKOUT / "include" / "quarn_api.h"

# The ctypes type each C parameter type of the header must have.
C_TYPES = {
    "int": c_int,
    "int *": POINTER(c_int),
    "unsigned char *": POINTER(c_ubyte),
    "const unsigned char *": POINTER(c_ubyte),
    "const char *": c_char_p,
    "char *": POINTER(c_char),
    "PortHandle": raw.PortHandle,
    "PortHandle *": POINTER(raw.PortHandle),
    "FilterRecord *": POINTER(raw.FilterRecord),
    "const FilterRecord *": POINTER(raw.FilterRecord),
    "void": None,
}


def header_declarations():
    """name -> (result type, parameter types, cdecl) from the declarations of quarn_api.h."""
    text = HEADER.read_text()
    pattern = r"QUARN_API\s+([\w\s\*]+?)\s*\b(QUARN_CALL|QUARN_CDECL)\s+(\w+)\((.*?)\);"
    declarations = {}
    for result, convention, name, parameters in re.findall(pattern, text, re.S):
        types = [re.sub(r"\s*\b\w+$", "", " ".join(p.split())) for p in parameters.split(",")]
        declarations[name] = (" ".join(result.split()), types, convention == "QUARN_CDECL")
    return declarations


class ExportListTest(unittest.TestCase):
    @unittest.skipUnless(DEF_FILE.is_file(), "the .def is not beside the package")
    def test_names_are_those_of_the_def(self):
        names = re.findall(r"^\s+(\w+)(?:\s*=\s*\w+)?\s+@\d+", DEF_FILE.read_text(), re.M)
        self.assertEqual(len(names), 67)
        self.assertEqual(set(raw.EXPORTS), set(names))

    @unittest.skipUnless(HEADER.is_file(), "the header is not beside the package")
    def test_prototypes_follow_the_header(self):
        declarations = header_declarations()
        self.assertEqual(set(declarations), set(raw.PROTOTYPES))
        for name, (result, parameters, cdecl) in declarations.items():
            with self.subTest(name):
                ours_result, ours_arguments, ours_cdecl = raw.PROTOTYPES[name]
                self.assertEqual(ours_result, C_TYPES[result])
                self.assertEqual(list(ours_arguments), [C_TYPES[p] for p in parameters])
                self.assertEqual(ours_cdecl, cdecl)

    def test_every_export_is_bound_with_its_prototype(self):
        library = raw.default_library()
        for name, (result, arguments, _) in raw.PROTOTYPES.items():
            with self.subTest(name):
                function = getattr(library, name)
                self.assertEqual(function.restype, result)
                self.assertEqual(tuple(function.argtypes), arguments)
        self.assertIs(raw.UhfGetPower, library.UhfGetPower)

    def test_filter_record_has_the_c_layout(self):
        self.assertEqual(ctypes.sizeof(raw.FilterRecord), 41)
        self.assertEqual(raw.FilterRecord.mask.offset, 8)
        self.assertEqual(raw.FilterRecord.truncate.offset, 40)


class PureExportsTest(unittest.TestCase):
    """The exports that talk to no reader, called through their cdecl prototypes."""

    def test_lock_payloads(self):
        cases = [((1, 1, 1, 1, 1), "0FFEAA"), ((2, 2, 2, 2, 2), "0FFC00"),
                 ((3, 3, 0, 0, 0), "0F03C0"), ((0, 0, 1, 0, 0), "00C020"),
                 ((0x101, 5, 0x100, 0, 4), "0C0E01")]
        for choices, expected in cases:
            payload = (c_ubyte * 3)(0xEE, 0xEE, 0xEE)
            result = raw.LockGenCode(*choices, payload)
            with self.subTest(choices=choices):
                self.assertEqual(bytes(payload).hex().upper(), expected)
                self.assertEqual(ctypes.addressof(result.contents), ctypes.addressof(payload))

    def test_hex_conversion_both_ways(self):
        data = bytes(range(0, 256, 15))
        text = ctypes.create_string_buffer(2 * len(data) + 1)
        raw.UhfCharToCString((c_ubyte * len(data)).from_buffer_copy(data), text, len(data))
        self.assertEqual(text.value.decode(), data.hex().upper())
        back = (c_ubyte * len(data))()
        self.assertEqual(raw.UhfCStringToChar(text.value.lower(), back, 2 * len(data)), len(data))
        self.assertEqual(bytes(back), data)


class RawExchangeTest(VirtualReaderTestCase):
    sim_arguments = ("--tags", "1")

    def test_open_command_close_through_the_raw_exports(self):
        port = raw.PortHandle(raw.INVALID_PORT)
        self.assertEqual(raw.UhfReaderConnect(byref(port), self.sim.path.encode(), 0x06), 1)
        self.assertNotEqual(port.value, raw.INVALID_PORT)
        power = c_ubyte(0xEE)
        for crc_flag in (0, 1):
            self.assertEqual(raw.UhfGetPower(port, byref(power), crc_flag), 1)
            self.assertEqual(power.value, 26)
        self.assertEqual(raw.UhfReaderDisconnect(byref(port), 0), 1)

    def test_a_refused_baud_leaves_the_invalid_handle(self):
        port = raw.PortHandle(7)
        self.assertEqual(raw.UhfOpenPort(byref(port), self.sim.path.encode(), 0x08), 0)
        self.assertEqual(port.value, raw.INVALID_PORT)


if __name__ == "__main__":
    unittest.main()
