"""quarn_api.constants holds the C header's constants, with the header's values."""

from __future__ import annotations

import re
import unittest

from quarn_api import constants

from .virtual_reader import CHECKOUT

HEADER = CHECKOUT / "include" / "quarn_api.h"
PREFIX = "QUARN_"
# The header's macros that are no values: the calling conventions and the export marker.
NOT_VALUES = {"QUARN_API", "QUARN_CALL", "QUARN_CDECL", "QUARN_API_H", "QUARN_INVALID_PORT"}


def header_macros():
    """name -> (parameter or None, body) for each QUARN_ #define of the header."""
    pattern = r"^#define\s+(QUARN_\w+)(?:\((\w+)\))?[ \t]*(.*?)\s*(?:/\*.*)?$"
    return {name: (parameter, body)
            for name, parameter, body in re.findall(pattern, HEADER.read_text(), re.M)
            if name not in NOT_VALUES}


def python_constants():
    return {name: value for name, value in vars(constants).items()
            if name.isupper() and isinstance(value, int)}


@unittest.skipUnless(HEADER.is_file(), "the header is not beside the package")
class HeaderConstantsTest(unittest.TestCase):
    def setUp(self):
        macros = header_macros()
        self.values = {name: body for name, (parameter, body) in macros.items() if not parameter}
        self.functions = {name: (parameter, body) for name, (parameter, body) in macros.items()
                          if parameter}

    def test_every_value_is_a_plain_integer(self):
        # Bindings read the values out of the header; an expression would need a C compiler.
        self.assertGreater(len(self.values), 40)
        for name, body in self.values.items():
            with self.subTest(name):
                self.assertRegex(body, r"^(0x[0-9A-F]+|\d+)$")

    def test_python_has_each_value_of_the_header_and_no_other(self):
        header = {name[len(PREFIX):]: int(body, 0) for name, body in self.values.items()}
        self.assertEqual(python_constants(), header)

    def test_the_record_size_rule_is_the_headers(self):
        self.assertEqual(set(self.functions), {"QUARN_TAG_RECORD_SIZE"})
        parameter, body = self.functions["QUARN_TAG_RECORD_SIZE"]
        # The body uses only & >> + * and parentheses, which Python reads as C does for ints.
        self.assertRegex(body, r"^[\w\s()&>+*]+$")
        for first_byte in list(range(256)) + [0x130, 0x1FF, -1]:
            with self.subTest(first_byte=first_byte):
                header_size = eval(body, {"__builtins__": {}}, {parameter: first_byte})
                self.assertEqual(constants.tag_record_size(first_byte), header_size)
        self.assertEqual(constants.tag_record_size(0xF8), constants.TAG_RECORD_MAX_SIZE)
        self.assertEqual(constants.tag_record_size(0x30), 14)


if __name__ == "__main__":
    unittest.main()
