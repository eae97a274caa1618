#!/usr/bin/env python3
"""Mutation testing of the library's four units.

Applies each mutant of scripts/mutants.txt (a small textual replacement in
one file of genlib/dabUtils/src) alone, rebuilds the library incrementally in
its own build directory, runs the library's test binaries until one fails and
reports every mutant as killed (with the test that caught it), survived,
equivalent (marked so in the list, still run) or unbuildable.

The unit is restored after every mutant, on Ctrl-C and on any failure; a copy
of the pristine unit is kept in the build directory until then, so a run that
was killed outright is repaired by the next one before it starts.

  scripts/mutate.py                 every mutant
  scripts/mutate.py M03 M17         only these
  scripts/mutate.py --check         only checks that every original text is found once
  MUTATE_BUILD=dir MUTATE_JOBS=n    build directory (build-mutation), jobs (2)
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "genlib", "dabUtils", "src")
LIST = os.path.join(ROOT, "scripts", "mutants.txt")
BUILD = os.path.abspath(os.environ.get("MUTATE_BUILD", os.path.join(ROOT, "build-mutation")))
JOBS = os.environ.get("MUTATE_JOBS", "2")

# Fastest first, so that most mutants die within seconds.
TESTS = [
    "download_sample_test", "export_test", "import_test", "c_api_test",
    "fault_injection_test", "hostile_upload_test",
]
TEST_TIMEOUT = 300


class Mutant:
    def __init__(self, ident, unit):
        self.ident, self.unit = ident, unit
        self.original, self.replacement, self.equivalent = [], [], None

    @property
    def path(self):
        return os.path.join(SRC, self.unit)


def parse(path):
    """Blocks of '@ <id> <unit>', '- original line', '+ replacement line' and
    an optional '= why it is equivalent', separated by blank lines."""
    mutants, current = [], None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                current = None
                continue
            tag, text = line[:1], line[2:]
            if tag == "@":
                ident, unit = text.split()
                current = Mutant(ident, unit)
                mutants.append(current)
            elif current is None:
                sys.exit(f"{path}:{number}: line outside a mutant")
            elif tag == "-":
                current.original.append(text)
            elif tag == "+":
                current.replacement.append(text)
            elif tag == "=":
                current.equivalent = text
            else:
                sys.exit(f"{path}:{number}: unknown line")
    return mutants


def run(command, **kwargs):
    return subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace", **kwargs)


def backup_of(unit):
    return os.path.join(BUILD, "pristine-" + unit)


def restore_leftovers():
    """Puts back any unit that an earlier run left mutated."""
    if not os.path.isdir(BUILD):
        return
    for name in os.listdir(BUILD):
        if name.startswith("pristine-"):
            unit = name[len("pristine-"):]
            shutil.copyfile(os.path.join(BUILD, name), os.path.join(SRC, unit))
            os.remove(os.path.join(BUILD, name))
            print(f"restored {unit} from an interrupted run")


def configure_and_build():
    if not os.path.exists(os.path.join(BUILD, "CMakeCache.txt")):
        # Warnings stay warnings: a mutant is judged by the tests, not the compiler.
        result = run(["cmake", "-S", ".", "-B", BUILD, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                      "-DDABUTILS_WERROR=OFF"])
        if result.returncode != 0:
            sys.exit(result.stdout)
    result = run(["cmake", "--build", BUILD, "-j", JOBS, "--target"] + TESTS)
    if result.returncode != 0:
        sys.exit(result.stdout[-4000:])


def build_library():
    # The test binaries load libdabutils.so at run time: only the library relinks.
    return run(["cmake", "--build", BUILD, "-j", JOBS, "--target", "dabutils"]).returncode == 0


def first_failure():
    """The first test that fails, as 'binary: Suite.Case', or None."""
    for test in TESTS:
        binary = os.path.join(BUILD, "tests", test)
        try:
            result = subprocess.run([binary], cwd=os.path.join(BUILD, "tests"),
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                    errors="replace", timeout=TEST_TIMEOUT)
        except subprocess.TimeoutExpired:
            return f"{test}: timed out"
        if result.returncode != 0:
            failed = re.findall(r"^\[  FAILED  \] (\S+)", result.stdout, re.M)
            if failed:
                return f"{test}: {failed[0]}"
            # A crash or a sanitizer report ends the binary inside the test it ran last.
            running = re.findall(r"^\[ RUN      \] (\S+)", result.stdout, re.M)
            where = running[-1] + ", " if running else ""
            return f"{test}: {where}exit status {result.returncode}"
    return None


def apply(mutant):
    with open(mutant.path, encoding="utf-8") as f:
        text = f.read()
    original = "\n".join(mutant.original)
    if text.count(original) != 1:
        return None, f"original text found {text.count(original)} times"
    shutil.copyfile(mutant.path, backup_of(mutant.unit))
    with open(mutant.path, "w", encoding="utf-8") as f:
        f.write(text.replace(original, "\n".join(mutant.replacement)))
    return text, None


def restore(mutant, text):
    with open(mutant.path, "w", encoding="utf-8") as f:
        f.write(text)
    os.remove(backup_of(mutant.unit))


def judge(mutant):
    text, problem = apply(mutant)
    if text is None:
        return "invalid", problem
    try:
        if not build_library():
            return "unbuildable", ""
        caught = first_failure()
        return ("killed", caught) if caught else ("survived", "")
    finally:
        restore(mutant, text)


def check(mutants):
    bad = 0
    for mutant in mutants:
        with open(mutant.path, encoding="utf-8") as f:
            found = f.read().count("\n".join(mutant.original))
        if found != 1:
            bad += 1
            print(f"{mutant.ident}: original text found {found} times")
    print(f"{len(mutants)} mutants, {bad} not applicable")
    return 1 if bad else 0


def main():
    # Both signals end the run through the same clean-up, also when the shell
    # started the script in the background with SIGINT ignored.
    signal.signal(signal.SIGINT, signal.default_int_handler)
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    mutants = parse(LIST)
    if sys.argv[1:] == ["--check"]:
        return check(mutants)
    wanted = set(sys.argv[1:])
    if wanted:
        mutants = [m for m in mutants if m.ident in wanted]
    restore_leftovers()
    configure_and_build()
    start = time.time()
    tally = {}
    survivors = []
    try:
        for mutant in mutants:
            verdict, detail = judge(mutant)
            if verdict == "survived" and mutant.equivalent:
                verdict, detail = "equivalent", mutant.equivalent
            elif verdict == "killed" and mutant.equivalent:
                detail += "  (marked equivalent, yet killed: fix the list)"
            tally[verdict] = tally.get(verdict, 0) + 1
            if verdict == "survived":
                survivors.append(mutant.ident)
            print(f"{mutant.ident:5} {mutant.unit:22} {verdict:11} {detail}", flush=True)
    except KeyboardInterrupt:
        print("interrupted; the units are restored")
        return 130
    finally:
        build_library()  # Leave the build directory on the pristine library.
    killed = tally.get("killed", 0)
    judged = killed + tally.get("survived", 0)
    score = 100.0 * killed / judged if judged else 0.0
    minutes = (time.time() - start) / 60
    print(f"\n{len(mutants)} mutants: {killed} killed, {tally.get('survived', 0)} survived, "
          f"{tally.get('equivalent', 0)} equivalent, {tally.get('unbuildable', 0)} unbuildable, "
          f"{tally.get('invalid', 0)} invalid; score {score:.1f}% of the non-equivalent "
          f"({minutes:.1f} min)")
    if survivors:
        print("survived: " + " ".join(survivors))
    return 0 if not survivors and not tally.get("invalid") else 1


if __name__ == "__main__":
    sys.exit(main())
