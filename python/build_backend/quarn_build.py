"""The package's build backend: makes the wheel and the source archive with the standard library alone.

pip builds a package in an environment of its own and first installs what pyproject.toml's build-system
requires; with setuptools that needs an index, so on a machine without one `pip install ./python` would
fail. This backend requires nothing. The wheel holds the pure-Python package quarn_api; the native
library is found at run time (see quarn_api/_loader.py).
"""

import base64
import hashlib
import os
import re
import tarfile
import zipfile

_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_PACKAGE = "quarn_api"
_TAG = "py3-none-any"


def _read(path):
    with open(path, "rb") as source:
        return source.read()


def _project():
    """The [project] strings of pyproject.toml that the metadata needs."""
    text = _read(os.path.join(_ROOT, "pyproject.toml")).decode("utf-8")
    section = text.split("[project]", 1)[1].split("\n[", 1)[0]
    fields = dict(re.findall(r'^([\w-]+)\s*=\s*"([^"]*)"', section, re.MULTILINE))
    return fields["name"], fields["version"], fields.get("description", ""), fields.get("requires-python")


def _metadata():
    name, version, description, requires_python = _project()
    lines = ["Metadata-Version: 2.1", f"Name: {name}", f"Version: {version}", f"Summary: {description}"]
    if requires_python:
        lines.append(f"Requires-Python: {requires_python}")
    readme = _read(os.path.join(_ROOT, "README.md")).decode("utf-8")
    lines += ["Description-Content-Type: text/markdown", "", readme]
    return "\n".join(lines)


def _package_files():
    folder = os.path.join(_ROOT, _PACKAGE)
    return sorted(f"{_PACKAGE}/{entry}" for entry in os.listdir(folder) if entry.endswith(".py"))


def _record_row(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode("ascii")
    return f"{path},sha256={digest},{len(data)}"


def _distribution():
    name, version, _, _ = _project()
    return re.sub(r"[-_.]+", "_", name), version


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    distribution, version = _distribution()
    info = f"{distribution}-{version}.dist-info"
    entries = [(path, _read(os.path.join(_ROOT, path))) for path in _package_files()]
    entries += [
        (f"{info}/METADATA", _metadata().encode("utf-8")),
        (f"{info}/WHEEL", f"Wheel-Version: 1.0\nGenerator: quarn_build\nRoot-Is-Purelib: true\nTag: {_TAG}\n".encode()),
        (f"{info}/top_level.txt", f"{_PACKAGE}\n".encode()),
    ]
    record = [_record_row(path, data) for path, data in entries] + [f"{info}/RECORD,,"]
    entries.append((f"{info}/RECORD", ("\n".join(record) + "\n").encode()))
    filename = f"{distribution}-{version}-{_TAG}.whl"
    with zipfile.ZipFile(os.path.join(wheel_directory, filename), "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in entries:
            wheel.writestr(path, data)
    return filename


def build_sdist(sdist_directory, config_settings=None):
    distribution, version = _distribution()
    base = f"{distribution}-{version}"
    files = ["pyproject.toml", "README.md", "build_backend/quarn_build.py"] + _package_files()
    filename = f"{base}.tar.gz"
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz", format=tarfile.PAX_FORMAT) as archive:
        for path in files:
            archive.add(os.path.join(_ROOT, path), arcname=f"{base}/{path}")
        pkg_info = os.path.join(sdist_directory, "PKG-INFO")
        with open(pkg_info, "w", encoding="utf-8") as out:
            out.write(_metadata())
        archive.add(pkg_info, arcname=f"{base}/PKG-INFO")
        os.remove(pkg_info)
    return filename
