#!/usr/bin/env python3
"""Proves each export's calling convention from the 32-bit DLL's own code, without running it.

A __stdcall export returns with "ret 4*n", n its argument count in include/quarn_api.h (every argument is
4 bytes on x86); a __cdecl one with a plain "ret". Every return reachable from an export's entry is
checked: those in its body, from the entry to the next function's start, and those in code it jumps to
outside its body (a tail call, a part moved away as cold), followed as far as such jumps lead. Function
starts come from the symbols when the DLL has them, the export table, the targets of direct calls, and
the targets of jumps that leave the body they stand in; a stripped DLL is read as well.

  check_x86_conventions.py DLL --def Quarn_API.def --header quarn_api.h [--objdump TOOL]
  check_x86_conventions.py --self-test [DLL --def ... --header ...] [--objdump TOOL] [--gcc TOOL]
"""
import argparse
import bisect
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SUMMARY_NAME = "x86-conventions"
PREFIXES = {"rep", "repz", "repnz", "repe", "repne", "lock", "bnd", "notrack", "data16", "addr16",
            "cs", "ds", "es", "ss", "fs", "gs"}
BRANCHES = re.compile(r"^(j[a-z]+|loop[a-z]*)$")
RETURNS = {"ret", "retl"}
FAR_RETURNS = {"lret", "lretl", "iret", "iretl", "retw", "lretw", "iretw"}
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(.*)$")
LABEL = re.compile(r"^([0-9a-f]+) <([^>]+)>:$")
DIRECT_TARGET = re.compile(r"^(?:0x)?([0-9a-f]+)(\s+<.*>)?$")
POP = re.compile(r"^\$0x([0-9a-f]+)$")


# ---- Reading the DLL ----

def Run(command):
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0:
        raise SystemExit("%s failed:\n%s" % (" ".join(command), result.stderr))
    return result.stdout


def ExportAddresses(objdumpText):
    """{name: address} from objdump -p: the address table by index, the names by index into it."""
    imageBase, section, rvaByIndex, addresses = None, None, {}, {}
    for line in objdumpText.splitlines():
        if line.startswith("ImageBase"):
            imageBase = int(line.split()[-1], 16)
        elif line.startswith("Export Address Table -- Ordinal Base"):
            section = "rva"
        elif line.startswith("[Ordinal/Name Pointer] Table"):
            section = "names"
        elif not line.strip():
            section = None
        elif section == "rva" and "Export RVA" in line:
            fields = line.replace("[", " ").replace("]", " ").split()
            rvaByIndex[int(fields[0])] = int(fields[-3], 16)
        elif section == "names":
            fields = line.replace("[", " ").replace("]", " ").split()
            addresses[fields[-1]] = imageBase + rvaByIndex[int(fields[0])]
    if imageBase is None or not addresses:
        raise SystemExit("no export table in the objdump -p output")
    return addresses


def Instructions(disassembly):
    """[(address, mnemonic, operand)] in address order, and the addresses that carry a symbol."""
    instructions, labels = [], set()
    for line in disassembly.splitlines():
        label = LABEL.match(line)
        if label:
            labels.add(int(label.group(1), 16))
            continue
        match = INSTRUCTION.match(line)
        if not match:
            continue
        words = match.group(2).split()
        while words and words[0] in PREFIXES and len(words) > 1:
            words = words[1:]
        if not words:
            continue
        instructions.append((int(match.group(1), 16), words[0], " ".join(words[1:])))
    instructions.sort()
    return instructions, labels


def DirectTarget(operand):
    match = DIRECT_TARGET.match(operand)
    return int(match.group(1), 16) if match else None


def ReadDll(dll, objdump):
    addresses = ExportAddresses(Run([objdump, "-p", dll]))
    instructions, labels = Instructions(Run([objdump, "-d", "--no-show-raw-insn", dll]))
    return Code(instructions, labels, addresses), addresses


# ---- The code as functions ----

class Code:
    """The instructions of the DLL and where functions start; a body runs from a start to the next."""

    def __init__(self, instructions, labels, entries):
        self.instructions = instructions
        self.addresses = [address for address, _, _ in instructions]
        self.end = self.addresses[-1] + 1 if instructions else 0
        starts = set(labels) | set(entries.values())
        starts |= {DirectTarget(operand) for _, mnemonic, operand in instructions if mnemonic.startswith("call")}
        self.starts = sorted(start for start in starts if start is not None)
        self.AddLeavingJumpTargets()

    def BodyOf(self, address):
        """(start, end) of the body that holds address."""
        index = bisect.bisect_right(self.starts, address) - 1
        start = self.starts[index] if index >= 0 else 0
        end = self.starts[index + 1] if index + 1 < len(self.starts) else self.end
        return start, end

    def AddLeavingJumpTargets(self):
        # A jump to outside its body lands on code of its own (a cold part, a tail-called function): a
        # start. Each new start shortens a body, which can make more jumps leave theirs.
        jumps = [(address, DirectTarget(operand)) for address, mnemonic, operand in self.instructions
                 if BRANCHES.match(mnemonic)]
        jumps = [(address, target) for address, target in jumps if target is not None]
        while True:
            known = set(self.starts)
            new = set()
            for address, target in jumps:
                start, end = self.BodyOf(address)
                if not start <= target < end and target not in known:
                    new.add(target)
            if not new:
                return
            self.starts = sorted(known | new)

    def Body(self, start):
        _, end = self.BodyOf(start)
        first = bisect.bisect_left(self.addresses, start)
        last = bisect.bisect_left(self.addresses, end)
        return self.instructions[first:last], end

    def Reach(self, entry):
        """What returning from entry can run: [(address, bytes popped or None for a far return)], the
        jumps that cannot be followed, and how many returns stood outside the entry's own body."""
        returns, unfollowed, outside = [], [], 0
        pending, seen = [entry], set()
        while pending:
            start = pending.pop()
            if start in seen:
                continue
            seen.add(start)
            body, end = self.Body(start)
            if not body or body[0][0] != start:
                unfollowed.append((start, "no instruction starts here"))
                continue
            for address, mnemonic, operand in body:
                if mnemonic in RETURNS:
                    pop = POP.match(operand)
                    returns.append((address, int(pop.group(1), 16) if pop else 0))
                    outside += start != entry
                elif mnemonic in FAR_RETURNS:
                    returns.append((address, None))
                elif BRANCHES.match(mnemonic):
                    target = DirectTarget(operand)
                    if target is None:
                        # A table jump (indexed) stays in its function; any other goes who knows where.
                        if mnemonic == "jmp" and "," not in operand:
                            unfollowed.append((address, "jmp " + operand))
                    elif not start <= target < end:
                        pending.append(target)
        return returns, unfollowed, outside


# ---- The check ----

def ExpectedPop(convention, count):
    return {"stdcall": 4 * int(count), "cdecl": 0}.get(convention) if count != "-" else None


def ReadRows(defFile, header):
    """{name: (convention, argument count)} from generate_export_table.cmake, the one reader of the .def
    and the header."""
    with tempfile.TemporaryDirectory() as scratch:
        rowsFile = os.path.join(scratch, "rows.txt")
        Run(["cmake", "-DDEF_FILE=" + defFile, "-DHEADER_FILE=" + header, "-DROWS_FILE=" + rowsFile,
             "-P", os.path.join(HERE, "generate_export_table.cmake")])
        with open(rowsFile) as rows:
            return {name: (convention, count) for name, convention, count in (line.split() for line in rows)}


def Verdicts(code, addresses, rows):
    """{name: None when sound, or what is wrong}, and the totals for the summary."""
    verdicts, totals = {}, {"returns": 0, "outside": 0}
    for name in sorted(set(rows) | set(addresses)):
        convention, count = rows.get(name, ("undeclared", "-"))
        expected = ExpectedPop(convention, count)
        if name not in addresses:
            verdicts[name] = "not in the DLL's export table"
            continue
        if expected is None:
            verdicts[name] = "no prototype in the header"
            continue
        returns, unfollowed, outside = code.Reach(addresses[name])
        totals["returns"] += len(returns)
        totals["outside"] += outside
        wrong = ["%x: %s" % (address, "far return" if pop is None else "ret %d" % pop)
                 for address, pop in returns if pop != expected]
        problems = []
        if not returns:
            problems.append("no return found")
        if wrong:
            problems.append("returns with other than ret %d: %s" % (expected, ", ".join(wrong)))
        if unfollowed:
            problems.append("cannot follow " + ", ".join("%x (%s)" % item for item in unfollowed))
        verdicts[name] = ("%s, %s arguments: %s" % (convention, count, "; ".join(problems))) if problems else None
    return verdicts, totals


def Report(verdicts, totals, dll):
    failures = [name for name, problem in verdicts.items() if problem]
    for name in failures:
        print("FAIL %s: %s" % (name, verdicts[name]))
    if not failures:
        print("%s: each of %d exports returns as the header declares (%d returns seen, %d of them in code "
              "reached by a jump out of the export's body)" % (os.path.basename(dll), len(verdicts),
                                                             totals["returns"], totals["outside"]))
    print("%s: %d checks, %d failed" % (SUMMARY_NAME, len(verdicts), len(failures)))
    return 1 if failures else 0


# ---- The self-test: the check must fail where the code and the prototypes disagree ----

# Built stripped, so that bodies are found without symbols (C names carry an underscore on x86). HelperPlain sits right after a sound
# export: only as a jump target does it end that export's body.
SELF_TEST_ASSEMBLY = r"""
    .text
    .globl _GoodTwoReturns, _SecondReturnWrong, _TailJumpWrong, _TailJumpGood, _CallThenReturn, _ColdPartWrong, _CdeclPlain, _CdeclPops, _SharedFirst, _IndirectTailCall, _Undeclared, _Entry
_Entry:          movl $1, %eax
                ret $12
_GoodTwoReturns: testl %eax, %eax
                je 1f
                ret $8
1:              xorl %eax, %eax
                ret $8
_HelperPlain:    ret
_SecondReturnWrong:
                testl %eax, %eax
                je 1f
                ret $8
1:              ret $4
_TailJumpWrong:  jmp _HelperPlain
_TailJumpGood:   jmp _HelperPops4
_HelperPops4:    ret $4
_CallThenReturn: call _HelperPops4
                ret $4
_ColdPartWrong:  testl %eax, %eax
                jne _ColdPart
                ret $4
_CdeclPlain:     ret
_CdeclPops:      ret $4
_SharedFirst:    ret $4
_IndirectTailCall:
                jmp *%eax
_Undeclared:     ret
_ColdPart:       xorl %eax, %eax
                ret
"""
SELF_TEST_EXPORTS = ["GoodTwoReturns", "SecondReturnWrong", "TailJumpWrong", "TailJumpGood", "CallThenReturn",
                     "ColdPartWrong", "CdeclPlain", "CdeclPops", "SharedFirst", "SharedSecond = SharedFirst",
                     "IndirectTailCall", "Undeclared"]
SELF_TEST_ROWS = {"GoodTwoReturns": ("stdcall", "2"), "SecondReturnWrong": ("stdcall", "2"),
                  "TailJumpWrong": ("stdcall", "1"), "TailJumpGood": ("stdcall", "1"),
                  "CallThenReturn": ("stdcall", "1"), "ColdPartWrong": ("stdcall", "1"),
                  "CdeclPlain": ("cdecl", "2"), "CdeclPops": ("cdecl", "1"), "SharedFirst": ("stdcall", "1"),
                  "SharedSecond": ("stdcall", "2"), "IndirectTailCall": ("stdcall", "0")}
SELF_TEST_FAILING = {"SecondReturnWrong", "TailJumpWrong", "ColdPartWrong", "CdeclPops", "SharedSecond",
                     "IndirectTailCall", "Undeclared"}


def Failing(code, addresses, rows):
    verdicts, _ = Verdicts(code, addresses, rows)
    return {name for name, problem in verdicts.items() if problem}


def SelfTestCases(args):
    """[(what, failing names expected, failing names found)]"""
    cases = []
    with tempfile.TemporaryDirectory() as scratch:
        source, defFile, dll = (os.path.join(scratch, name) for name in ("cases.s", "cases.def", "cases.dll"))
        with open(source, "w") as out:
            out.write(SELF_TEST_ASSEMBLY)
        with open(defFile, "w") as out:
            out.write("LIBRARY cases\nEXPORTS\n" + "".join("    %s\n" % row for row in SELF_TEST_EXPORTS))
        Run([args.gcc, "-shared", "-nostdlib", "-s", "-Wl,-e,_Entry", "-o", dll, source, defFile])
        code, addresses = ReadDll(dll, args.objdump)
        cases.append(("returns, tail jumps, cold parts, shared entries of a built DLL", SELF_TEST_FAILING,
                      Failing(code, addresses, SELF_TEST_ROWS)))
    if args.dll:
        code, addresses = ReadDll(args.dll, args.objdump)
        rows = ReadRows(args.defFile, args.header)
        cases.append(("the DLL as the header declares it", set(), Failing(code, addresses, rows)))
        for name, mutation, what in [
                ("UhfGetPower", lambda c, n: (c, str(int(n) + 1)), "one argument more"),
                ("UhfReaderConnect", lambda c, n: (c, str(int(n) - 1)), "the second name of a shared entry, one less"),
                ("LockGenCode", lambda c, n: ("stdcall", n), "declared stdcall"),
                ("UhfClosePort", lambda c, n: ("cdecl", n), "declared cdecl")]:
            changed = dict(rows)
            changed[name] = mutation(*rows[name])
            cases.append(("%s with %s" % (name, what), {name}, Failing(code, addresses, changed)))
    return cases


def SelfTest(args):
    failures = 0
    cases = SelfTestCases(args)
    for what, expected, found in cases:
        if expected == found:
            print("ok: %s: %s" % (what, ", ".join(sorted(found)) or "no failure"))
        else:
            failures += 1
            print("FAIL %s: failing %s, expected %s" % (what, sorted(found), sorted(expected)))
    print("%s-self-test: %d checks, %d failed" % (SUMMARY_NAME, len(cases), failures))
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dll", nargs="?")
    parser.add_argument("--def", dest="defFile")
    parser.add_argument("--header")
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--gcc", default="i686-w64-mingw32-gcc")
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.dll and not (args.defFile and args.header):
        parser.error("a DLL needs --def and --header")
    if args.self_test:
        return SelfTest(args)
    if not args.dll:
        parser.error("give a DLL or --self-test")
    code, addresses = ReadDll(args.dll, args.objdump)
    verdicts, totals = Verdicts(code, addresses, ReadRows(args.defFile, args.header))
    return Report(verdicts, totals, args.dll)


if __name__ == "__main__":
    sys.exit(main())
