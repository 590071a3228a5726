"""Where the library comes from: $QUARN_API_LIBRARY, the checkout's build, the installed one."""

from __future__ import annotations

import os
import tempfile
import unittest
from pathlib import Path
from unittest import mock

from quarn_api import ENVIRONMENT_VARIABLE, LibraryNotFoundError, QuarnError, load_library, raw
from quarn_api._loader import LIBRARY_FILE


def built_library() -> str:
    return raw.default_library().path


class LoaderTest(unittest.TestCase):
    def setUp(self):
        self.temporary = tempfile.TemporaryDirectory()
        self.addCleanup(self.temporary.cleanup)
        self.root = Path(self.temporary.name)

    def fake_checkout(self, build_folder=None) -> Path:
        """A checkout with the header and, in build_folder, a link to the built library."""
        (self.root / "include").mkdir()
        (self.root / "include" / "quarn_api.h").write_text("")
        package = self.root / "python" / "quarn_api"
        package.mkdir(parents=True)
        if build_folder:
            (self.root / "build" / build_folder).mkdir(parents=True)
            (self.root / "build" / build_folder / LIBRARY_FILE).symlink_to(built_library())
        return package

    def test_the_environment_variable_names_the_library(self):
        with mock.patch.dict(os.environ, {ENVIRONMENT_VARIABLE: built_library()}):
            library = raw.load()
        self.assertEqual(library.path, built_library())
        self.assertEqual(set(raw.EXPORTS) - set(vars(library)), set())

    def test_a_named_library_that_will_not_load_is_not_replaced_by_another(self):
        missing = str(self.root / "nowhere" / LIBRARY_FILE)
        package = self.fake_checkout("linux")
        with mock.patch.dict(os.environ, {ENVIRONMENT_VARIABLE: missing}):
            with self.assertRaises(LibraryNotFoundError) as caught:
                load_library(package_dir=package)
        self.assertIn(missing, str(caught.exception))
        self.assertIsInstance(caught.exception, QuarnError)

    def test_the_checkout_build_is_found_in_any_build_folder(self):
        package = self.fake_checkout("h9")
        with mock.patch.dict(os.environ, {ENVIRONMENT_VARIABLE: ""}):
            _, path = load_library(package_dir=package)
        self.assertEqual(path, str(self.root / "build" / "h9" / LIBRARY_FILE))

    def test_nothing_found_says_where_it_looked(self):
        package = self.fake_checkout()
        with mock.patch.dict(os.environ, {ENVIRONMENT_VARIABLE: ""}), \
                mock.patch("ctypes.util.find_library", return_value=None):
            with self.assertRaises(LibraryNotFoundError) as caught:
                load_library(package_dir=package)
        message = str(caught.exception)
        self.assertIn(str(self.root / "build"), message)
        self.assertIn("find_library", message)
        self.assertIn(ENVIRONMENT_VARIABLE, message)

    def test_outside_a_checkout_the_installed_library_is_used(self):
        package = self.root / "site-packages" / "quarn_api"
        package.mkdir(parents=True)
        with mock.patch.dict(os.environ, {ENVIRONMENT_VARIABLE: ""}), \
                mock.patch("ctypes.util.find_library", return_value=built_library()) as find:
            _, path = load_library(package_dir=package)
        find.assert_called_once_with("Quarn_API")
        self.assertEqual(path, built_library())


if __name__ == "__main__":
    unittest.main()
