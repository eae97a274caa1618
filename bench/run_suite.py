"""Runs the whole benchmark suite and writes its table; scripts/bench.sh calls it.

    run_suite.py --build BUILD --work DIR [--runs N] [--no-callgrind] [--update FILE]

Every end-to-end case is a process of its own, run N times, the cases taking
turns: wall time, CPU time (user + system) and peak resident set come from
wait4(). Instruction
counts come from one further run under callgrind (they vary by well under a
percent between runs; the machine's PMU is not available to perf). The
in-process cases (parser, libcsv, writers, stand-in database) run in
micro_bench, Google Benchmark, with repetitions. The table goes to
DIR/results.md and, with --update, between the result markers of FILE.
"""
import argparse
import csv
import datetime
import json
import os
import platform
import re
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BEGIN = "<!-- bench results: begin -->"
END = "<!-- bench results: end -->"


def python_interpreter():
    # Debian's interpreter, not a version manager's shim (a shell script that
    # callgrind would profile instead of Python).
    return "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable


class Case:
    def __init__(self, key, label, argv, stdin=None, before=None, profile=False, expect=None,
                 own_clock=False):
        self.key = key
        # The command prints its own time of the job on its last line (curl's
        # %{time_total}): the wall is that, not the process's life.
        self.own_clock = own_clock
        self.expect = expect  # A regular expression the output must match.
        self.label = label
        self.argv = argv
        self.stdin = stdin
        self.before = before or (lambda: None)
        self.profile = profile  # Keep the callgrind file for the profile section.
        self.runs = []  # (wall_s, cpu_s, maxrss_kib, json or None)
        self.instructions = None
        self.top = []


def run_once(case):
    case.before()
    stdin = open(case.stdin, "rb") if case.stdin else subprocess.DEVNULL
    start = time.perf_counter()
    child = subprocess.Popen(case.argv, stdin=stdin, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL)
    out = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if stdin is not subprocess.DEVNULL:
        stdin.close()
    if child.returncode != 0:
        sys.exit(f"run_suite: {case.label} failed ({' '.join(case.argv)})")
    if case.expect and not re.search(case.expect, out.decode("utf-8", "replace")):
        sys.exit(f"run_suite: {case.label} did not say {case.expect!r}: {out[:400]!r}")
    report = None
    lines = out.decode("utf-8", "replace").splitlines()
    for line in lines:
        if line.startswith("{"):
            report = json.loads(line)
    if case.own_clock:
        report = dict(report or {}, process_wall=wall)
        wall = float(lines[-1])
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss, report


class Console:
    """A `dabtool serve` on a free port for the console's cases."""

    def __init__(self, process, url):
        self.process = process
        self.url = url

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)


def start_console(tool, data_dir):
    os.makedirs(data_dir, exist_ok=True)
    # On loopback without a token: the cases measure the import, not the login.
    process = subprocess.Popen([tool, "--data-dir", data_dir, "serve", "--port", "0", "--quiet", "--no-token",
                                "--max-upload", "64M"], stdout=subprocess.PIPE, text=True)
    line = process.stdout.readline()
    found = re.search(r"(http://\S+/)", line)
    if not found:
        process.kill()
        sys.exit(f"run_suite: dabtool serve did not start: {line!r}")
    return Console(process, found.group(1))


def callgrind(case, work):
    case.before()
    out_file = os.path.join(work, "callgrind", case.key + ".out")
    os.makedirs(os.path.dirname(out_file), exist_ok=True)
    stdin = open(case.stdin, "rb") if case.stdin else subprocess.DEVNULL
    subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out_file]
                   + case.argv, stdin=stdin, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    if stdin is not subprocess.DEVNULL:
        stdin.close()
    with open(out_file) as f:
        for line in f:
            if line.startswith("summary:"):
                case.instructions = int(line.split()[1])
    if case.profile:
        annotate = subprocess.run(["callgrind_annotate", out_file], capture_output=True,
                                  text=True).stdout
        rows = re.findall(r"^\s*([\d,]+) \(\s*([\d.]+)%\)\s+(\S.*)$", annotate, re.M)
        for count, share, where in rows[1:11]:  # Row 0 is the program total.
            where = re.sub(r"\s*\[[^]]*\]$", "", where)
            where = re.sub(r"^\?\?\?:|^[^:]*/[^:]*:", "", where)
            case.top.append((count, share, where[:110]))


def median_spread(values):
    return statistics.median(values), min(values), max(values)


def fmt_time(values):
    mid, low, high = median_spread(values)
    return f"{mid * 1000:.0f} ms ({low * 1000:.0f}–{high * 1000:.0f})"


def fmt_kib(values):
    mid, low, high = median_spread(values)
    return f"{mid / 1024:.1f} MiB ({low / 1024:.1f}–{high / 1024:.1f})"


def fmt_count(n):
    return "–" if n is None else f"{n / 1e6:,.0f} M"


def run_micro(build, work, runs, threaded):
    binary = os.path.join(build, "bench", "micro_bench")
    if not os.path.exists(binary):
        return {}
    # Repetitions interleaved at random, so that the parser and libcsv (and
    # the writers) meet the same load, as the end-to-end cases do.
    argv = [binary, work, f"--benchmark_repetitions={runs}", "--benchmark_format=json",
            "--benchmark_enable_random_interleaving=true"]
    if threaded:
        argv += ["--threaded-host", "--benchmark_filter=Parser|Writer"]
    out = subprocess.run(argv, capture_output=True, text=True, check=True).stdout
    results = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("run_type") != "iteration":
            continue
        results.setdefault(b["run_name"], []).append(b)
    return results


MICRO_ORDER = ["ImportParser", "LibcsvParser", "DabWriter", "LegacyWriter"]


def micro_rows(results, note):
    rows = []
    order = {name: i for i, name in enumerate(MICRO_ORDER)}
    for name, reps in sorted(results.items(), key=lambda item: (order.get(item[0], 99), item[0])):
        times = [r["real_time"] for r in reps]  # Milliseconds (Unit set per case).
        mid, low, high = median_spread(times)
        rate = ""
        if "bytes_per_second" in reps[0]:
            mb = median_spread([r["bytes_per_second"] / 1e6 for r in reps])
            rate = f"{mb[0]:.0f} MB/s ({mb[1]:.0f}–{mb[2]:.0f})"
        rows.append((name, note, f"{mid:.1f} ms ({low:.1f}–{high:.1f})", rate, len(reps)))
    return rows


def compare_exports(ours, peer):
    """Cells of the two DAB files that differ, by column (Python's csv reads both)."""
    import csv
    with open(ours, newline="", encoding="utf-8") as a, open(peer, newline="", encoding="utf-8") as b:
        left, right = list(csv.reader(a)), list(csv.reader(b))
    header = left[0]
    diffs = {}
    for row_a, row_b in zip(left, right):
        for i, (x, y) in enumerate(zip(row_a, row_b)):
            if x != y:
                diffs[header[i]] = diffs.get(header[i], 0) + 1
    return len(left), len(right), diffs


def round_trip(tool, restore_dir, exported, work):
    """Exports the restored book again: (rows, lines that differ, of which fax)."""
    again = os.path.join(work, "restored-export.csv")
    subprocess.run([tool, "--data-dir", restore_dir, "export", "-o", again], check=True,
                   capture_output=True)
    def rows(path):
        with open(path, newline="", encoding="utf-8", errors="surrogateescape") as f:
            return list(csv.reader(f))
    before, after = rows(exported), rows(again)
    if len(before) != len(after):
        sys.exit(f"run_suite: the restored book exported {len(after)} rows, not {len(before)}")
    differ = [i for i in range(len(before)) if before[i] != after[i]]
    # Only a fax number the export masked may differ, and only in that cell.
    fax = [i for i in differ if "/" in before[i][9] and
           before[i][:9] + before[i][10:] == after[i][:9] + after[i][10:]]
    return len(before) - 1, len(differ), len(fax)


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return {
        "nproc": os.cpu_count(),
        "cpu": model,
        "kernel": platform.release(),
        "load": open("/proc/loadavg").read().split()[:3],
        "sqlite3": subprocess.run(["sqlite3", "--version"], capture_output=True,
                                  text=True).stdout.split()[0],
        "python": subprocess.run([python_interpreter(), "--version"], capture_output=True,
                                 text=True).stdout.strip(),
    }


def git_commit():
    result = subprocess.run(["git", "-C", HERE, "rev-parse", "--short", "HEAD"],
                            capture_output=True, text=True)
    dirty = subprocess.run(["git", "-C", HERE, "status", "--porcelain", "--untracked-files=no"],
                           capture_output=True, text=True).stdout.strip()
    return result.stdout.strip() + (" (with local changes)" if dirty else "")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--no-callgrind", action="store_true")
    parser.add_argument("--update")
    args = parser.parse_args()
    build, work = os.path.abspath(args.build), os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    dab = os.path.join(build, "bench", "dab_bench")
    libcsv = os.path.join(build, "bench", "libcsv_parse")
    py = python_interpreter()
    peers = os.path.join(HERE, "peers.py")
    before = machine()
    started = time.time()

    print("preparing the address book ...", flush=True)
    prepared = subprocess.run([dab, "prepare", work], capture_output=True, text=True, check=True)
    dataset = json.loads(prepared.stdout.strip().splitlines()[-1])
    upload = os.path.join(work, "upload.csv")
    source = os.path.join(work, "source.db")
    export_sql = os.path.join(HERE, "export_columns.sql")

    shell_export = os.path.join(work, "shell-export.txt")
    with open(shell_export, "w") as f:
        f.write(f".headers on\n.mode csv\n.output {work}/peer-export.csv\n.read {export_sql}\n")
    shell_import = os.path.join(work, "shell-import.txt")
    with open(shell_import, "w") as f:
        f.write(f".read {os.path.join(HERE, 'import_table.sql')}\n"
                f".import --csv --skip 1 {upload} upload\n")

    def fresh(path):
        def remove():
            for suffix in ("", "-wal", "-shm", "-journal"):
                if os.path.exists(path + suffix):
                    os.remove(path + suffix)
        return remove

    peer_db = os.path.join(work, "peer.db")
    tool = os.path.join(build, "tools", "dabtool", "dabtool")
    tool_dir = os.path.join(work, "tool")
    console_dir = os.path.join(work, "console")
    restore_dir = os.path.join(work, "restore")
    dab_export = os.path.join(work, "root", "http", "data", "ExportedAddressBook.csv")
    console = start_console(tool, console_dir)
    created = rf"(?s)Created {dataset['contacts']} contacts.*now holds {dataset['contacts']} "
    cases = [
        Case("export", "DAB export, `AdressBookExport`", [dab, "export", work], profile=True),
        Case("shell_export", "sqlite3 shell, same 26 columns, `.mode csv`",
             ["sqlite3", "-readonly", source], stdin=shell_export),
        Case("py_export", "Python `sqlite3` + `csv.writer`, same 26 columns",
             [py, peers, "export", source, export_sql, os.path.join(work, "py-export.csv")]),
        Case("legacy", "Legacy export, `LegacyAdressBookExport`", [dab, "legacy", work],
             profile=True),
        Case("import", "Import, `AddressBookImport` into an empty database",
             [dab, "import", work], profile=True),
        Case("tool_import", "`dabtool import` into an empty address book",
             [tool, "--data-dir", tool_dir, "import", upload],
             before=fresh(os.path.join(tool_dir, "addressbook.db")), profile=True,
             expect=created),
        # Runs after "export" in every round, so the file it reads is there.
        Case("tool_restore", "`dabtool restore` of the DAB export into an empty book",
             [tool, "--data-dir", restore_dir, "restore", dab_export],
             before=fresh(os.path.join(restore_dir, "addressbook.db")), profile=True,
             expect=rf"Restored {dataset['contacts']} entries"),
        # curl asks "Expect: 100-continue" before a large body and waits for
        # the answer; a browser's fetch does not, so neither does the case.
        # `-T` streams the file as a browser sends a chosen file, where
        # `--data-binary @` would first read all of it into curl's memory.
        # The time is curl's own, from the connection to the answer's last
        # byte: a page's fetch starts no process, so curl's start (its
        # libraries, about 10 ms) is no part of the console's import.
        Case("console_import", "Console import, `POST /api/import` (curl) into an empty book",
             ["curl", "-sS", "--fail", "-H", "Expect:", "-H", "Content-Type: text/csv",
              "-X", "POST", "-T", upload, "-w", r"\n%{time_total}\n",
              console.url + "api/import?name=upload.csv"],
             before=fresh(os.path.join(console_dir, "addressbook.db")),
             expect=rf'"created":\s*{dataset["contacts"]}\b', own_clock=True),
        Case("shell_import", "sqlite3 shell, `.import --csv` into an empty table",
             ["sqlite3", peer_db], stdin=shell_import, before=fresh(peer_db)),
        Case("py_import", "Python `csv.reader` + `executemany` into an empty table",
             [py, peers, "import", upload, peer_db], before=fresh(peer_db)),
        Case("parse", "Import parser alone, one pass", [dab, "parse", upload], profile=True),
        Case("py_parse", "Python `csv.reader`, one pass", [py, peers, "parse", upload]),
        Case("py_start", "(Python interpreter start-up alone)", [py, "-c", "pass"]),
    ]
    if os.path.exists(libcsv):
        cases.insert(-1, Case("libcsv", "libcsv, one pass", [libcsv, upload]))

    # Round robin, so that every case meets the same spells of load from
    # whatever else the machine runs; ratios then compare like with like.
    for round_number in range(args.runs):
        print(f"  round {round_number + 1} of {args.runs}", flush=True)
        for case in cases:
            case.runs.append(run_once(case))
    if not args.no_callgrind:
        for case in cases:
            if case.key.startswith("console_"):
                continue  # The work is in the server, not in curl.
            print(f"  callgrind: {case.label}", flush=True)
            callgrind(case, work)
    console.stop()
    print("  micro_bench", flush=True)
    micro = run_micro(build, work, args.runs, threaded=False)
    micro_threaded = run_micro(build, work, args.runs, threaded=True)
    after = machine()
    by_key = {c.key: c for c in cases}

    trip_rows, trip_differ, trip_fax = round_trip(tool, restore_dir, dab_export, work)
    if trip_differ != trip_fax:
        sys.exit(f"run_suite: the round trip changed {trip_differ - trip_fax} rows besides fax numbers")

    # A fast wrong answer is no result: every run of ours did the whole job.
    contacts = dataset["contacts"]
    for r in by_key["import"].runs:
        if r[3]["created"] != contacts:
            sys.exit(f"run_suite: the import created {r[3]['created']} of {contacts} contacts")
    for r in by_key["parse"].runs:
        if r[3]["fields"] != 6 * (contacts + 1):
            sys.exit(f"run_suite: the parser read {r[3]['fields']} fields")

    # --- Figures the targets are judged by ---
    def wall(key):
        return statistics.median(r[0] for r in by_key[key].runs)

    def cpu(key):
        return statistics.median(r[1] for r in by_key[key].runs)

    def instr_ratio(a, b):
        x, y = by_key[a].instructions, by_key[b].instructions
        return None if x is None or y is None else x / y

    list_kib = (dataset["list_record_bytes"] + dataset["list_text_bytes"]) / 1024
    export_growth = statistics.median(r[3]["growth_kib"] for r in by_key["export"].runs)

    def micro_rate(results, name):
        reps = results.get(name)
        return None if not reps else statistics.median(r["bytes_per_second"] / 1e6 for r in reps)

    parser_rate = micro_rate(micro, "ImportParser")
    parser_rate_threaded = micro_rate(micro_threaded, "ImportParser")
    libcsv_rate = micro_rate(micro, "LibcsvParser")
    rows_ours, rows_peer, diffs = compare_exports(
        os.path.join(work, "root", "http", "data", "ExportedAddressBook.csv"),
        os.path.join(work, "peer-export.csv"))

    if rows_ours != contacts + 1 or rows_peer != contacts + 1:
        sys.exit(f"run_suite: {rows_ours} rows exported, {rows_peer} by the sqlite3 shell")

    def verdict(ok):
        return "**met**" if ok else "**not met**"

    def ratio_text(r):
        return "–" if r is None else f"{r:.2f}"

    targets = []
    r = wall("export") / wall("shell_export")
    ir = instr_ratio("export", "shell_export")
    targets.append(("DAB export no slower than the sqlite3 shell (same columns)",
                    f"wall {r:.2f}×, CPU {cpu('export') / cpu('shell_export'):.2f}×, "
                    f"instructions {ratio_text(ir)}×", verdict(r <= 1.0)))
    m = export_growth / list_kib
    targets.append(("DAB export peak memory within 2× the list's own data",
                    f"{export_growth / 1024:.1f} MiB / {list_kib / 1024:.1f} MiB = {m:.2f}×",
                    verdict(m <= 2.0)))
    r = wall("import") / wall("shell_import")
    ir = instr_ratio("import", "shell_import")
    targets.append(("Import no slower than 1.5× the sqlite3 shell's `.import`",
                    f"wall {r:.2f}×, CPU {cpu('import') / cpu('shell_import'):.2f}×, "
                    f"instructions {ratio_text(ir)}×", verdict(r <= 1.5)))
    for key, what in (("tool_import", "`dabtool import`"), ("console_import", "Console import")):
        r = wall(key) / wall("import")
        process = [run[3].get("process_wall") for run in by_key[key].runs if run[3]]
        curl = (f"; with curl's own start {statistics.median(process):.3f} s"
                if process and None not in process else "")
        targets.append((f"{what} within 1.3× the library's own import (wall)",
                        f"wall {r:.2f}× ({wall(key):.3f} s / {wall('import'):.3f} s{curl}); "
                        f"the sqlite3 shell {wall('shell_import') / wall('import'):.2f}×",
                        verdict(r <= 1.3)))
    if parser_rate is not None:
        slowest = min(parser_rate, parser_rate_threaded or parser_rate)
        targets.append(("Parser alone at least 100 MB/s",
                        f"{parser_rate:.0f} MB/s; {parser_rate_threaded or 0:.0f} MB/s in a "
                        "threaded host", verdict(slowest >= 100)))
    if parser_rate is not None and libcsv_rate is not None:
        r = libcsv_rate / parser_rate
        ir = instr_ratio("parse", "libcsv") if "libcsv" in by_key else None
        targets.append(("Parser within 2× libcsv on the same bytes",
                        f"time {r:.2f}×, instructions {ratio_text(ir)}×", verdict(r <= 2.0)))

    # --- The table ---
    out = []
    out.append(f"Run of {datetime.datetime.utcfromtimestamp(started):%Y-%m-%d %H:%M} UTC, "
               f"commit {git_commit()}, {args.runs} runs per case, "
               f"{time.time() - started:.0f} s in all.\n")
    out.append(f"Machine: {before['nproc']} × {before['cpu']}, Linux {before['kernel']}, "
               f"{before['sqlite3'] and 'SQLite ' + before['sqlite3']}, {before['python']}. "
               f"Load average (1, 5, 15 min) {' '.join(before['load'])} before, "
               f"{' '.join(after['load'])} after: the machine is shared, so wall times "
               "carry that noise; instruction counts do not.\n")
    out.append(f"Data: {dataset['contacts']:,} entries ({dataset['groups']} groups, "
               f"{dataset['memberships']:,} memberships), seed {dataset['seed']}; upload file "
               f"{dataset['upload_bytes'] / 1e6:.2f} MB; the list's own data "
               f"{list_kib / 1024:.1f} MiB ({dataset['list_record_bytes'] / 1048576:.1f} MiB of "
               f"records, {dataset['list_text_bytes'] / 1048576:.1f} MiB of texts).\n")
    out.append("### Targets\n")
    out.append("| Target | Measured | |\n|---|---|---|")
    for t in targets:
        out.append(f"| {t[0]} | {t[1]} | {t[2]} |")
    out.append("")
    out.append("### End to end, one process per run\n")
    out.append("Wall, CPU and peak RSS: median (min–max) of the runs, the cases taking turns; "
               "instructions: one callgrind run of the whole process.\n")
    out.append("| Case | Wall | CPU | Peak RSS | Instructions |\n|---|---|---|---|---|")
    for c in cases:
        out.append(f"| {c.label} | {fmt_time([r[0] for r in c.runs])} | "
                   f"{fmt_time([r[1] for r in c.runs])} | {fmt_kib([r[2] for r in c.runs])} | "
                   f"{fmt_count(c.instructions)} |")
    out.append("")
    out.append("Inside the call (the library's own figures, from the same runs):\n")
    out.append("| Case | Call | Resident set growth | Output |\n|---|---|---|---|")
    for key in ("export", "legacy", "import", "parse"):
        c = by_key[key]
        reports = [r[3] for r in c.runs]
        growth = (fmt_kib([r["growth_kib"] for r in reports]) if "growth_kib" in reports[0]
                  else "–")
        if "output_bytes" in reports[0]:
            output = f"{reports[0]['output_bytes']:,} bytes"
        elif "created" in reports[0]:
            output = f"{reports[0]['created']:,} created, {reports[0]['refused']} refused"
        else:
            mb = median_spread([r["mb_per_s"] for r in reports])
            output = f"{reports[0]['fields']:,} fields, {mb[0]:.0f} MB/s ({mb[1]:.0f}–{mb[2]:.0f})"
        out.append(f"| {c.label} | {fmt_time([r['call_s'] for r in reports])} | {growth} | "
                   f"{output} |")
    out.append("")
    out.append("### In process (Google Benchmark)\n")
    out.append("Median (min–max) of the repetitions, interleaved at random; a threaded host has "
               "started one thread before, as the web server has, so the C library locks each "
               "stream call.\n")
    out.append("| Case | Host | Time per pass | Throughput | Repetitions |\n|---|---|---|---|---|")
    for row in micro_rows(micro, "single thread") + micro_rows(micro_threaded, "threaded"):
        out.append("| " + " | ".join(str(x) for x in row) + " |")
    out.append("")
    out.append("### Commands\n")
    out.append("Each end-to-end case as run (`W` is the work directory, `B` the Release build; "
               "`<` feeds the shell its script, written by run_suite.py):\n")
    out.append("| Case | Command |\n|---|---|")

    def shown(arg):
        for path, name in ((work, "W"), (build, "B"), (HERE, "bench"), (py, "python3")):
            if arg.startswith(path):
                return name + arg[len(path):]
        return arg

    for c in cases:
        command = " ".join(shown(a) for a in c.argv)
        if c.stdin:
            command += " < " + shown(c.stdin)
        out.append(f"| {c.label} | `{command}` |")
    out.append("")
    out.append("### Same work?\n")
    cells = ", ".join(f"{k}: {v:,}" for k, v in sorted(diffs.items())) or "none"
    out.append(f"Round trip: the DAB export restored into an empty book by `dabtool restore` "
               f"and exported again: {trip_rows:,} rows, {trip_differ:,} of them different, "
               f"{trip_fax:,} in the fax number alone (a number the export masked, which the "
               "restore report lists) and none elsewhere.\n")
    out.append(f"Our DAB file and the sqlite3 shell's, both read back with Python's csv module: "
               f"{rows_ours:,} and {rows_peer:,} rows; cells that differ: {cells} (the fax "
               "number, which the peers write unmasked).\n")
    profiled = [c for c in cases if c.top]
    if profiled:
        out.append("### Where the instructions go (callgrind, self cost, top 10)\n")
        for c in profiled:
            out.append(f"{c.label}, {fmt_count(c.instructions)} in all:\n")
            out.append("| Instructions | Share | Function |\n|---|---|---|")
            for count, share, where in c.top:
                out.append(f"| {count} | {share} % | `{where}` |")
            out.append("")
    text = "\n".join(out) + "\n"

    with open(os.path.join(work, "results.md"), "w") as f:
        f.write(text)
    if args.update:
        with open(args.update) as f:
            doc = f.read()
        if BEGIN in doc and END in doc:
            head, rest = doc.split(BEGIN, 1)
            _, tail = rest.split(END, 1)
            doc = head + BEGIN + "\n" + text + END + tail
            with open(args.update, "w") as f:
                f.write(doc)
    print(text)


if __name__ == "__main__":
    main()
