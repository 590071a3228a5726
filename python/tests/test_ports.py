"""Ports that do not open say why, and a stream on a port that is gone ends with PortGone."""

from __future__ import annotations

import errno
import os
import signal
import tempfile
import time
import unittest
import warnings
from pathlib import Path
from unittest import mock

from quarn_api import (NotASerialPort, PortBusy, PortError, PortGone, PortNotFound,
                       PortPermissionDenied, Reader, raw)
from quarn_api import _ports

from .test_reader import CallLog
from .virtual_reader import VirtualReader, VirtualReaderTestCase

POSIX = os.name == "posix"


@unittest.skipUnless(POSIX, "the causes are found on POSIX systems only")
class OpenFailureTest(VirtualReaderTestCase):
    sim_arguments = ("--tags", "1")

    def setUp(self):
        temporary = tempfile.TemporaryDirectory()
        self.addCleanup(temporary.cleanup)
        self.folder = Path(temporary.name)

    def assert_refused(self, port, error_class, *words):
        with self.assertRaises(error_class) as caught:
            Reader(port)
        message = str(caught.exception)
        self.assertIsInstance(caught.exception, PortError)
        self.assertEqual(caught.exception.port, port)
        for word in (port,) + words:
            self.assertIn(word, message)
        return message

    def test_each_cause_has_its_class_and_its_fix(self):
        regular = self.folder / "reader.txt"
        regular.write_text("not a port")
        fifo = self.folder / "fifo"
        os.mkfifo(fifo)
        cases = [
            (str(self.folder / "ttyUSB0"), PortNotFound, "does not exist", "quarn ports",
             "/dev/serial/by-id"),
            ("quarn-no-such-port", PortNotFound, "/dev/quarn-no-such-port"),
            (str(regular), NotASerialPort, "regular file", "/dev/ttyUSB0"),
            (str(self.folder), NotASerialPort, "directory"),
            ("/dev/null", NotASerialPort, "not a terminal"),
            (str(fifo), NotASerialPort, "FIFO"),
            ("/dev/ptmx", NotASerialPort, "multiplexer"),
        ]
        for port, error_class, *words in cases:
            with self.subTest(port=port):
                self.assert_refused(port, error_class, *words)

    def test_a_port_held_by_another_reader_is_busy(self):
        with Reader(self.sim.path) as first:
            self.assert_refused(self.sim.path, PortBusy, "in use")
            self.assertEqual(first.power(), 26)
        self.assertEqual(self.open_reader().power(), 26)

    def test_a_device_the_user_may_not_open(self):
        # Root opens any device node, so the refusal is the system's answer, stood in for.
        refusal = OSError(errno.EACCES, "Permission denied")
        with mock.patch.object(_ports.os, "open", side_effect=refusal):
            error = _ports.open_failure("/dev/null")
        self.assertIsInstance(error, PortPermissionDenied)
        self.assertIn("dialout", str(error))
        self.assertIn("log in again", str(error))
        with mock.patch.object(_ports.os, "stat", side_effect=PermissionError(errno.EACCES, "")):
            self.assertIsInstance(_ports.open_failure("/dev/ttyUSB0"), PortPermissionDenied)

    def test_other_refusals_of_the_device(self):
        for number, error_class in ((errno.EBUSY, PortBusy), (errno.ENXIO, PortNotFound),
                                    (errno.EIO, PortNotFound), (errno.EINVAL, PortError)):
            with self.subTest(errno=errno.errorcode[number]), \
                    mock.patch.object(_ports.os, "open", side_effect=OSError(number, "")):
                self.assertIs(type(_ports.open_failure("/dev/null")), error_class)

    def test_windows_keeps_a_generic_message(self):
        with mock.patch.object(_ports, "IS_WINDOWS", True):
            error = _ports.open_failure("COM3")
            self.assertIsNone(_ports.multiplexer_refusal("/dev/ptmx"))
            self.assertFalse(_ports.is_gone(0))
        self.assertIs(type(error), PortError)
        self.assertIn("COM3", str(error))


@unittest.skipUnless(POSIX, "hang-ups are seen on POSIX descriptors only")
class GonePortTest(unittest.TestCase):
    def start_reader(self, *arguments):
        sim = VirtualReader(("--tags", "3", "--interval", "5") + arguments)
        self.addCleanup(sim.stop)
        log = CallLog(raw.default_library())
        reader = Reader(sim.path, library=log)
        self.addCleanup(reader.close)
        return sim, log, reader

    def test_a_reader_killed_mid_inventory_ends_the_loop(self):
        sim, log, reader = self.start_reader()
        reports = 0
        with warnings.catch_warnings():
            warnings.simplefilter("error")  # the stop on the way out must not add a warning
            with self.assertRaises(PortGone) as caught:
                for _ in reader.inventory(duration=10.0):  # bounded should the check fail
                    reports += 1
                    if reports == 5:
                        sim.process.send_signal(signal.SIGKILL)
                        sim.process.wait()
                        killed, calls = time.monotonic(), len(log.calls)
        self.assertLess(time.monotonic() - killed, 4.0)
        after = [name for name, _ in log.calls[calls:]]
        # No spinning: at most the reports already on their way, one empty receive, no stop.
        self.assertLessEqual(len(after), 5)
        self.assertEqual(after[-1], "UhfReadInventory")
        self.assertNotIn("UhfStopOperation", after)
        self.assertIn(sim.path, str(caught.exception))
        self.assertIn("inventory", str(caught.exception))
        # Commands on the gone port say so too, rather than that the reader did not answer.
        for command in (reader.power, lambda: reader.read("E2001122", "tid", 0, 1),
                        lambda: reader.registers(0, 4), reader.filters,
                        lambda: next(reader.inventory())):
            with self.assertRaises(PortGone):
                command()
        reader.close()
        self.assertFalse(reader.is_open)

    def test_a_quiet_port_is_not_gone(self):
        # A silent reader's port (SilentReaderTest: NoReply, not PortGone) looks the same.
        sim, log, reader = self.start_reader()
        self.assertFalse(_ports.is_gone(reader.port))
        self.assertGreater(len(list(reader.inventory(duration=0.1))), 0)
        self.assertFalse(_ports.is_gone(reader.port))
        self.assertEqual(log.calls[-1], ("UhfStopOperation", 1))

    def test_a_closed_descriptor_and_a_hung_up_one_are_gone(self):
        read_end, write_end = os.pipe()
        self.assertFalse(_ports.is_gone(read_end))
        os.close(write_end)
        self.assertTrue(_ports.is_gone(read_end))
        os.close(read_end)
        self.assertTrue(_ports.is_gone(read_end))


if __name__ == "__main__":
    unittest.main()
