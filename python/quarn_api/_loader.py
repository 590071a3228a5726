"""Finding and loading the Quarn_API shared library."""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import sys
from pathlib import Path
from typing import Iterator, List, Optional, Tuple

from .errors import QuarnError

ENVIRONMENT_VARIABLE = "QUARN_API_LIBRARY"
IS_WINDOWS = os.name == "nt"
LIBRARY_FILE = "Quarn_API.dll" if IS_WINDOWS else "libQuarn_API.so"

# The checkout's own build folders, the native one first; a 64-bit Python cannot load the 32-bit
# DLL, so the DLL folder of the running interpreter's width comes before the other.
if IS_WINDOWS:
    _WIDTH = "win-x86_64" if sys.maxsize > 2**32 else "win-i686"
    _BUILD_FOLDERS = (_WIDTH, "linux")
else:
    _BUILD_FOLDERS = ("linux",)


class LibraryNotFoundError(QuarnError, OSError):
    """No Quarn_API library would load; the message lists every place that was tried."""

    def __init__(self, attempts: List[Tuple[str, str]]):
        self.attempts = attempts
        lines = [f"  {place}: {why}" for place, why in attempts]
        super().__init__(
            "the Quarn_API library would not load; looked at:\n" + "\n".join(lines)
            + f"\nset {ENVIRONMENT_VARIABLE} to the path of {LIBRARY_FILE}"
        )


def checkout_root(package_dir: Optional[Path] = None) -> Optional[Path]:
    """The repository root when the package sits in the checkout (python/quarn_api), else None."""
    package_dir = package_dir or Path(__file__).resolve().parent
    root = package_dir.parent.parent
    return root if (root / "include" / "quarn_api.h").is_file() else None


def checkout_candidates(root: Path) -> Iterator[Path]:
    """The libraries built in the checkout: the usual folders, then any other build/* one."""
    seen = set()
    named = [root / "build" / folder / LIBRARY_FILE for folder in _BUILD_FOLDERS]
    others = sorted((root / "build").glob("*/" + LIBRARY_FILE))
    for path in named + others:
        if path not in seen and path.is_file():
            seen.add(path)
            yield path


def _open(path: str) -> ctypes.CDLL:
    # WinDLL makes stdcall the default for the names fetched by attribute; the prototypes in raw.py
    # choose the convention of each export themselves either way.
    return ctypes.WinDLL(path) if IS_WINDOWS else ctypes.CDLL(path)


def load_library(path: Optional[str] = None,
                 package_dir: Optional[Path] = None) -> Tuple[ctypes.CDLL, str]:
    """Loads the library: an explicit path, else $QUARN_API_LIBRARY, else the checkout's build,
    else the installed one. Returns the handle and the path it came from."""
    explicit = path or os.environ.get(ENVIRONMENT_VARIABLE)
    if explicit:
        # A path the caller named is the only one tried: quietly loading another build would hide
        # which library is under test.
        try:
            return _open(explicit), explicit
        except OSError as error:
            raise LibraryNotFoundError([(explicit, str(error))]) from None
    attempts: List[Tuple[str, str]] = []
    root = checkout_root(package_dir)
    if root is None:
        attempts.append(("the checkout's build folders", "the package is not inside a checkout"))
    else:
        found_any = False
        for candidate in checkout_candidates(root):
            found_any = True
            try:
                return _open(str(candidate)), str(candidate)
            except OSError as error:
                attempts.append((str(candidate), str(error)))
        if not found_any:
            attempts.append((str(root / "build" / "*" / LIBRARY_FILE), "no such file"))
    installed = ctypes.util.find_library("Quarn_API")
    if installed is None:
        attempts.append(("the installed libraries (find_library)", "none named Quarn_API"))
    else:
        try:
            return _open(installed), installed
        except OSError as error:
            attempts.append((installed, str(error)))
    raise LibraryNotFoundError(attempts)
