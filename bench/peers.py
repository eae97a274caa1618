"""The library's jobs done with Python's standard library, as a user might.

    peers.py export DB SQL OUT   run SQL on DB and write the rows with csv.writer
    peers.py parse FILE          read FILE with csv.reader, counting fields
    peers.py import FILE DB      csv.reader + executemany into a fresh 6-column table

Each prints one JSON line like dab_bench does.
"""
import csv
import json
import sqlite3
import sys
import time


def export(db, sql_path, out):
    with open(sql_path, encoding="utf-8") as f:
        sql = f.read()
    start = time.perf_counter()
    con = sqlite3.connect(f"file:{db}?mode=ro", uri=True)
    rows = con.execute(sql)
    with open(out, "w", newline="", encoding="utf-8") as f:
        writer = csv.writer(f, lineterminator="\r\n")
        writer.writerow([d[0] for d in rows.description])
        writer.writerows(rows)
    con.close()
    return {"call_s": time.perf_counter() - start}


def parse(path):
    start = time.perf_counter()
    fields = records = 0
    with open(path, newline="", encoding="utf-8") as f:
        for row in csv.reader(f):
            records += 1
            fields += len(row)
    return {"call_s": time.perf_counter() - start, "fields": fields, "records": records}


def import_(path, db):
    start = time.perf_counter()
    con = sqlite3.connect(db)
    con.execute("CREATE TABLE upload (first_name TEXT, last_name TEXT, display_name TEXT,"
                " company TEXT, email_address TEXT, ifax_address TEXT)")
    with open(path, newline="", encoding="utf-8") as f:
        reader = csv.reader(f)
        next(reader)
        con.executemany("INSERT INTO upload VALUES (?, ?, ?, ?, ?, ?)", reader)
    con.commit()
    created = con.execute("SELECT COUNT(*) FROM upload").fetchone()[0]
    con.close()
    return {"call_s": time.perf_counter() - start, "created": created}


def main(argv):
    commands = {"export": (export, 3), "parse": (parse, 1), "import": (import_, 2)}
    if len(argv) < 2 or argv[1] not in commands or len(argv) != 2 + commands[argv[1]][1]:
        sys.stderr.write(__doc__)
        return 2
    function, _ = commands[argv[1]]
    print(json.dumps(function(*argv[2:])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
