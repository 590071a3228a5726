"""Runs quarn-sim, the virtual reader, for the tests: $QUARN_SIM, else the checkout's build."""

from __future__ import annotations

import os
import selectors
import signal
import subprocess
import unittest
from pathlib import Path
from typing import Optional, Sequence

from quarn_api import Reader

CHECKOUT = Path(__file__).resolve().parent.parent.parent
START_TIMEOUT_S = 5.0


def find_sim() -> Optional[str]:
    if os.environ.get("QUARN_SIM"):
        return os.environ["QUARN_SIM"]
    builds = [CHECKOUT / "build" / "linux" / "sim" / "quarn-sim"]
    builds += sorted(CHECKOUT.glob("build/*/sim/quarn-sim"))
    return next((str(path) for path in builds if path.is_file()), None)


class VirtualReader:
    """One quarn-sim process; path is the pty it serves on."""

    def __init__(self, arguments: Sequence[str]):
        program = find_sim()
        if program is None:
            raise unittest.SkipTest("quarn-sim is not built (set QUARN_SIM)")
        self.process = subprocess.Popen([program, *arguments], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.path = self._first_line()

    def _first_line(self) -> str:
        # The device path is the first line on stdout; a sim refusing its options says why on
        # stderr.
        with selectors.DefaultSelector() as selector:
            selector.register(self.process.stdout, selectors.EVENT_READ)
            ready = selector.select(START_TIMEOUT_S)
        line = self.process.stdout.readline().decode().strip() if ready else ""
        if not line.startswith("/"):
            self.process.kill()
            _, why = self.process.communicate()
            raise RuntimeError(f"quarn-sim did not start: {why.decode().strip()}")
        return line

    def stop(self) -> int:
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()
        return self.process.returncode


class VirtualReaderTestCase(unittest.TestCase):
    """One virtual reader for the class, with sim_arguments; open_reader() opens its port."""

    sim_arguments: Sequence[str] = ("--tags", "3")

    @classmethod
    def setUpClass(cls) -> None:
        cls.sim = VirtualReader(cls.sim_arguments)
        cls.addClassCleanup(cls.sim.stop)

    def open_reader(self, crc: bool = False, **options) -> Reader:
        reader = Reader(self.sim.path, crc=crc, **options)
        self.addCleanup(reader.close)
        return reader
