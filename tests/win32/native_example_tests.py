#!/usr/bin/env python3
"""The native CTest runs of some examples, rewritten to run each example's Windows build under wine.

    native_example_tests.py NATIVE_BUILD_DIR TEST_REGEX ARCH WINDOWS_EXAMPLES_DIR DEVICE_LINK

Prints one line per test whose name matches TEST_REGEX: the test's name, a space, and its command as
shell words. The command keeps everything of the native run (examples/run_against_sim.sh with the
virtual reader's arguments, the exit status and the output patterns) up to its "--"; the native
program after it becomes tests/win32/run_on_com.sh running the same-named .exe of
WINDOWS_EXAMPLES_DIR, which gets the COM port of DEVICE_LINK where the native one got the pty path.
So the Windows examples pass the very checks their native runs pass, written once, in
examples/CMakeLists.txt.
"""

import json
import os
import shlex
import subprocess
import sys

RUN_ON_COM = os.path.join(os.path.dirname(os.path.abspath(__file__)), "run_on_com.sh")
PORT = "@PORT@"


def native_tests(native_dir, regex):
    listing = subprocess.run(["ctest", "--show-only=json-v1", "-R", regex], cwd=native_dir, check=True,
                             capture_output=True, text=True)
    return json.loads(listing.stdout).get("tests", [])


def windows_command(test, arch, examples_dir, link):
    command = test["command"]
    if "--" not in command:
        raise ValueError(f"{test['name']}: no '--' before the example in {command}")
    split = command.index("--")
    program, arguments = command[split + 1], command[split + 2:]
    if not arguments or arguments[0] != PORT:
        raise ValueError(f"{test['name']}: the example's first argument is not {PORT}: {arguments}")
    exe = os.path.join(examples_dir, os.path.basename(program) + ".exe")
    return command[:split + 1] + ["bash", RUN_ON_COM, arch, PORT, link, exe] + arguments[1:]


def main():
    if len(sys.argv) != 6:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    native_dir, regex, arch, examples_dir, link = sys.argv[1:]
    tests = native_tests(native_dir, regex)
    if not tests:
        print(f"no test of {native_dir} matches {regex} (configured with QUARN_BUILD_TESTS=ON and quarn-sim?)",
              file=sys.stderr)
        return 1
    try:
        for test in tests:
            print(test["name"], shlex.join(windows_command(test, arch, examples_dir, link)))
    except ValueError as error:
        print(error, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
