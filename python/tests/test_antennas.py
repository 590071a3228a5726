"""The multi-antenna setting and the streams in antenna reply frames, against the virtual reader."""

from __future__ import annotations

import gc
import unittest

from quarn_api import NoReply, Reader, TagData, TagReport, raw

from .test_reader import CallLog
from .virtual_reader import VirtualReaderTestCase

OPEN = "E2001122AABB"  # seen by every antenna
SIDE = "E2005566AA77"  # seen by antenna 2 alone
GUARDED = "E2002233CCDD"  # seen by antenna 1 alone; access password 12345678
ACCESS = "12345678"
FIELD = (f"{OPEN} user-words=64", f"{SIDE} ant=2", f"{GUARDED} ant=1 access={ACCESS}")
ANTENNAS_1_AND_2 = 0x03
TID_START = bytes.fromhex("E20FF001")


def first(stream, count):
    """The stream's first count items, leaving the loop by break as a caller would."""
    items = []
    for item in stream:
        items.append(item)
        if len(items) == count:
            break
    return items


class MultiAntTest(VirtualReaderTestCase):
    sim_arguments = sum((["--epc", tag] for tag in FIELD), []) + ["--interval", "5"]

    def setUp(self):
        # Registers outlive a Reader: each test ends in single-antenna operation, once its
        # readers have closed (cleanups run last in, first out).
        self.addCleanup(self.reset_setting)

    def reset_setting(self):
        with Reader(self.sim.path) as reader:
            reader.set_multi_ant(0)

    def logged_reader(self, crc=False, setting=ANTENNAS_1_AND_2):
        """A Reader whose calls are logged from after its setting on."""
        log = CallLog(raw.default_library())
        reader = self.open_reader(crc=crc, library=log)
        reader.set_multi_ant(setting)
        log.calls.clear()
        return log, reader

    def test_the_setting_is_the_register_byte_in_both_modes(self):
        for crc, setting in ((False, 0x05), (True, 0xFF)):
            with self.subTest(crc=crc):
                _, reader = self.logged_reader(crc, setting)
                with reader:
                    self.assertEqual(reader.multi_ant(), setting)
                    self.assertEqual(reader.registers(0x124, 1), bytes([setting]))

    def test_each_report_names_its_antenna(self):
        # A round goes antenna by antenna over the tags each one sees.
        round_one = {(1, OPEN), (1, GUARDED), (2, OPEN), (2, SIDE)}
        for crc in (False, True):
            with self.subTest(crc=crc):
                log, reader = self.logged_reader(crc)
                with reader:
                    reports = first(reader.inventory_for_multi_ant(), 4)
                    self.assertEqual(log.calls[-1], ("UhfStopOperation", 1))
                    self.assertEqual(reader.power(), 26)
                self.assertTrue(all(isinstance(report, TagReport) for report in reports))
                self.assertEqual({(antenna, tag.epc) for tag, antenna in reports}, round_one)

    def test_a_read_yields_each_tags_data_with_its_antenna(self):
        log, reader = self.logged_reader(crc=True)
        frames = first(reader.read_all_for_multi_ant("tid", 0, 2), 4)
        self.assertTrue(all(isinstance(frame, TagData) for frame in frames))
        self.assertEqual({(frame.antenna, frame.tag.epc) for frame in frames},
                         {(1, OPEN), (1, GUARDED), (2, OPEN), (2, SIDE)})
        self.assertEqual({frame.data for frame in frames}, {TID_START})
        self.assertEqual(log.calls[-1], ("UhfStopOperation", 1))

    def test_every_end_of_the_loop_stops_the_stream_once(self):
        streams = {
            "inventory": lambda reader: reader.inventory_for_multi_ant(),
            "read": lambda reader: reader.read_all_for_multi_ant("epc", 2, 3),
        }

        def raise_in_loop(stream):
            with self.assertRaises(ZeroDivisionError):
                for _ in stream:
                    1 / 0

        def drop(stream):
            next(stream)
            del stream
            gc.collect()

        ends = {"break": lambda stream: first(stream, 2), "exception": raise_in_loop,
                "collection": drop}
        for stream_name, make in streams.items():
            for end_name, end in ends.items():
                with self.subTest(stream=stream_name, end=end_name):
                    log, reader = self.logged_reader()
                    with reader:
                        end(make(reader))
                        self.assertEqual(log.names().count("UhfStopOperation"), 1)
                        self.assertEqual(log.calls[-1], ("UhfStopOperation", 1))

    def test_a_tag_whose_read_fails_does_not_end_a_stream_of_rounds(self):
        # With the access password, OPEN's read fails (its own is zero) and GUARDED's succeeds.
        # The failed tag's frame once counted as the silence that ends a stream of rounds.
        for setting, stream in ((0, "read_all"), (0x01, "read_all_for_multi_ant")):
            with self.subTest(stream=stream):
                _, reader = self.logged_reader(setting=setting)
                with reader:
                    frames = first(getattr(reader, stream)("user", 0, 1, password=ACCESS,
                                                            rounds=255), 3)
                self.assertEqual([frame[0].epc for frame in frames], [GUARDED] * 3)

    def test_without_the_setting_the_start_says_what_is_missing(self):
        _, reader = self.logged_reader(setting=0)
        with self.assertRaises(NoReply) as caught:
            next(reader.inventory_for_multi_ant())
        self.assertIn("set_multi_ant", str(caught.exception))
        reader.stop()  # the reader started all the same, in ordinary frames
        self.assertEqual(reader.inventory_single().epc, OPEN)

    def test_bad_arguments_send_nothing(self):
        log, reader = self.logged_reader()
        refused = [
            (ValueError, lambda: reader.set_multi_ant(0x100)),
            (ValueError, lambda: reader.set_multi_ant(-1)),
            (ValueError, lambda: reader.inventory_for_multi_ant(rounds=0)),
            (ValueError, lambda: reader.read_all_for_multi_ant("user", 0, 0)),
            (ValueError, lambda: reader.read_all_for_multi_ant("user", 0, 1, rounds=256)),
            (ValueError, lambda: reader.read_all_for_multi_ant("scratch", 0, 1)),
            (ValueError, lambda: reader.read_all_for_multi_ant("user", 0x4000, 1)),
            (TypeError, lambda: reader.read_all_for_multi_ant("user", 0, 1, password=[1, 2])),
        ]
        for error, call in refused:
            with self.subTest(error=error), self.assertRaises(error):
                call()
        self.assertEqual(log.calls, [])


if __name__ == "__main__":
    unittest.main()
