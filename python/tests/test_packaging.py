"""The package installs from the checkout with nothing but pip and the standard library."""

from __future__ import annotations

import base64
import hashlib
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

PROJECT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(PROJECT / "build_backend"))
import quarn_build  # noqa: E402  (the backend lives beside the package, not in it)


def has_pip() -> bool:
    return subprocess.run([sys.executable, "-m", "pip", "--version"], capture_output=True).returncode == 0


class WheelTest(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory()
        self.addCleanup(self.temporary.cleanup)
        self.folder = Path(self.temporary.name)

    def test_the_wheel_holds_every_module_and_a_record_that_matches(self):
        wheel = zipfile.ZipFile(self.folder / quarn_build.build_wheel(str(self.folder)))
        self.addCleanup(wheel.close)
        names = set(wheel.namelist())
        modules = {f"quarn_api/{path.name}" for path in (PROJECT / "quarn_api").glob("*.py")}
        self.assertLessEqual(modules, names)
        record_name = next(name for name in names if name.endswith(".dist-info/RECORD"))
        rows = [row.split(",") for row in wheel.read(record_name).decode().splitlines()]
        self.assertEqual({row[0] for row in rows}, names)
        for path, digest, size in rows:
            if path == record_name:
                continue
            data = wheel.read(path)
            expected = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            self.assertEqual((digest, int(size)), (f"sha256={expected}", len(data)), path)
        metadata = wheel.read(record_name.replace("RECORD", "METADATA")).decode()
        self.assertIn("Name: quarn-api", metadata)
        self.assertIn("Version: 0.1.0", metadata)

    def test_the_source_archive_builds_the_same_package(self):
        archive = quarn_build.build_sdist(str(self.folder))
        self.assertTrue((self.folder / archive).is_file())
        self.assertFalse((self.folder / "PKG-INFO").exists())

    @unittest.skipUnless(has_pip(), "pip is not installed for this interpreter")
    def test_pip_installs_it_without_an_index_and_it_imports_from_there(self):
        target = self.folder / "site"
        install = subprocess.run(
            [sys.executable, "-m", "pip", "install", "--no-index", "--no-deps", "--disable-pip-version-check",
             "--target", str(target), str(PROJECT)], capture_output=True, text=True)
        self.assertEqual(install.returncode, 0, install.stdout + install.stderr)
        probe = "import quarn_api, sys; print(quarn_api.__file__); print(quarn_api.raw.LockGenCode is not None)"
        environment = dict(os.environ, PYTHONPATH=str(target))
        run = subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True, env=environment,
                             cwd=self.folder)
        self.assertEqual(run.returncode, 0, run.stderr)
        where, loaded = run.stdout.split()
        self.assertEqual(os.path.commonpath([where, str(target)]), str(target), where)
        self.assertEqual(loaded, "True")


if __name__ == "__main__":
    unittest.main()
