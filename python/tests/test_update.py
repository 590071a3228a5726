"""Firmware updates against the virtual reader: the whole sequence, its steps and their refusals."""

from __future__ import annotations

import unittest

from quarn_api import (FirmwareUpdate, NoReply, PortBusy, PortError, PortNotFound, Reader,
                       ReaderError, raw, update_firmware)

from .test_reader import CallLog
from .virtual_reader import VirtualReaderTestCase

STARTING_VERSION = b"QS\x01\x01\x02\x00\x19\x06\x01"
LARGEST_IMAGE = 262144  # the virtual reader's


def tagged_image(version: bytes, size: int) -> bytes:
    """An image the virtual reader installs with its nine version bytes."""
    head = b"QFW1" + version
    return head + bytes(n & 0xFF for n in range(size - len(head)))


def version_of(reader: Reader) -> bytes:
    return b"".join(reader.version())


class UpdateTest(VirtualReaderTestCase):
    sim_arguments = ("--tags", "1")

    def logged_reader(self, crc=False):
        log = CallLog(raw.default_library())
        reader = self.open_reader(crc=crc, library=log)
        log.calls.clear()
        return log, reader

    def test_the_reader_installs_an_image_in_both_modes(self):
        for crc, version in ((False, b"QS\x01\x01\x03\x00\x19\x07\x01"),
                             (True, b"QS\x01\x01\x03\x01\x19\x07\x02")):
            with self.subTest(crc=crc):
                log, reader = self.logged_reader(crc)
                with reader:
                    sent = []
                    reader.update_firmware(tagged_image(version, 300), block_size=128,
                                           progress=lambda done, total: sent.append((done, total)))
                    self.assertEqual(sent, [(128, 300), (256, 300), (300, 300)])
                    self.assertEqual(log.names()[:4], ["UhfClosePort", "UhfUpdateInit",
                                                       "UhfUpdateSendRN32", "UhfUpdateSendSize"])
                    self.assertEqual(log.names().count("UhfUpdateSendData"), 3)
                    self.assertEqual(log.calls[-1], ("UhfUpdateCommit", 1))
                    # The Reader holds the port the update opened, in its mode.
                    self.assertEqual((reader.is_open, reader.crc), (True, crc))
                    self.assertEqual(version_of(reader), version)

    def test_the_function_opens_the_port_and_returns_the_reader(self):
        version = b"QS\x02\x00\x00\x00\x19\x08\x01"
        with update_firmware(self.sim.path, tagged_image(version, 20), crc=True) as reader:
            self.assertEqual(version_of(reader), version)
        with self.assertRaises(PortNotFound):
            update_firmware("/dev/quarn-no-such-port", b"\x00")

    def test_a_running_stream_is_stopped_before_the_update(self):
        log, reader = self.logged_reader()
        stream = reader.inventory()
        next(stream)
        reader.update_firmware(b"\x00" * 10)
        names = log.names()
        start = names.index("UhfUpdateInit")
        self.assertEqual(names[start - 2:start], ["UhfStopOperation", "UhfClosePort"])
        self.assertEqual(list(stream), [])

    def test_a_refused_step_names_it_and_leaves_the_reader_open(self):
        log, reader = self.logged_reader()
        with self.assertRaises(ReaderError) as caught:
            reader.update_firmware(bytes(LARGEST_IMAGE + 1), block_size=2039)
        error = caught.exception
        self.assertEqual(error.code, 0x03)  # the virtual reader's "bad size"
        self.assertIn("could not send the update's size: update status 0x03", str(error))
        self.assertNotIn("UhfUpdateSendData", log.names())
        self.assertEqual(reader.power(), 26)

    def test_the_steps_send_what_they_are_given(self):
        with self.open_reader() as reader:
            before = version_of(reader)
        with FirmwareUpdate.start(self.sim.path, crc=True) as session:
            self.assertEqual(len(session.init_value), 4)
            with self.assertRaises(ReaderError) as caught:
                session.send_rn32(bytes(a ^ 0xFF for a in session.init_value))
            self.assertEqual(caught.exception.code, 0x02)  # wrong RN32: the session ends
        with FirmwareUpdate.start(self.sim.path) as session:
            session.send_rn32(session.init_value.hex())
            session.send_size("08 00 00 00")  # least significant byte first
            session.send_data(0, 0, b"\x11\x22\x33\x44")
            refusals = [(0x06, session.commit),  # not all data yet
                        (0x04, lambda: session.send_data(0, 2, b"\x55\x66\x77\x88")),
                        (0x05, lambda: session.send_data(0, 1, bytes(5)))]
            for status, step in refusals:
                with self.subTest(status=status), self.assertRaises(ReaderError) as caught:
                    step()
                self.assertEqual(caught.exception.code, status)
            session.send_data(0, 1, b"\x55\x66\x77\x88")
            session.commit()
            self.assertEqual(version_of(session.reader), before)  # an image without a version
        self.assertFalse(session.reader.is_open)

    def test_a_port_in_use_names_the_cause(self):
        with self.open_reader():
            with self.assertRaises(PortBusy):
                FirmwareUpdate.start(self.sim.path)

    def test_bad_arguments_send_nothing(self):
        log, reader = self.logged_reader()
        refused = [
            (ValueError, lambda: reader.update_firmware(b"")),
            (ValueError, lambda: reader.update_firmware(b"\x00", block_size=0)),
            (ValueError, lambda: reader.update_firmware(b"\x00", block_size=2040)),
            (ValueError, lambda: reader.update_firmware(bytes(0x10001), block_size=1)),
            (TypeError, lambda: reader.update_firmware([0, 1, 2])),
            (ValueError, lambda: reader.update_firmware("51 46 57 3")),
        ]
        for error, call in refused:
            with self.subTest(error=error), self.assertRaises(error):
                call()
        self.assertEqual(log.calls, [])  # the port was not even closed
        self.assertTrue(reader.is_open)
        reader.close()
        with self.assertRaises(PortError):
            reader.update_firmware(b"\x00")  # a closed Reader opens nothing
        self.assertEqual(log.names(), ["UhfClosePort"])

    def test_bad_step_arguments_send_nothing(self):
        log = CallLog(raw.default_library())
        with FirmwareUpdate.start(self.sim.path, library=log) as session:
            log.calls.clear()
            refused = [
                (ValueError, lambda: session.send_rn32(b"\x01\x02\x03")),
                (TypeError, lambda: session.send_rn32(0x01020304)),
                (ValueError, lambda: session.send_size("01 00 00 00 00")),
                (TypeError, lambda: session.send_size(8)),
                (ValueError, lambda: session.send_data(256, 0, b"")),
                (ValueError, lambda: session.send_data(0, -1, b"")),
                (ValueError, lambda: session.send_data(0, 0, bytes(2042))),
                (TypeError, lambda: session.send_data(0, 0, [1, 2])),
            ]
            for error, call in refused:
                with self.subTest(error=error), self.assertRaises(error):
                    call()
            session.reader.crc = True
            with self.assertRaises(ValueError):
                session.send_data(0, 0, bytes(2040))  # two bytes less fit a CRC frame
            self.assertEqual(log.calls, [])


class SilentUpdateTest(VirtualReaderTestCase):
    sim_arguments = ("--tags", "1", "--silent", "--fault-codes", "53")

    def test_a_silent_start_is_no_reply_and_closes_the_port(self):
        try:
            FirmwareUpdate.start(self.sim.path)  # a 3 s wait on a pty
        except NoReply:
            # The port is free while the traceback still holds the session's frames, as it does
            # in an interactive session.
            self.assertEqual(self.open_reader().power(), 26)
        else:
            self.fail("a start without reply gave a session")


if __name__ == "__main__":
    unittest.main()
