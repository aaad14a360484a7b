#!/usr/bin/python3
"""Reads rows that the window copied with parsers of their own. Takes {"csv": text, "markdown": text,
"query": sql, "table": name, "inserts": [text], "jsons": [text]} on standard input and writes
"csv" and "markdown" as Python's csv and GitHub's reference Markdown (cmark-gfm, with its tables
and links, rendered to HTML) read them, rows of cells (<br> as a line break), and as "exact" each
cell that a copy does not give back as the query gave it: the INSERT texts run by the sqlite3
shell into a fresh table of the query's columns (its typeof(), quote() and a real's bits), and the
JSON texts read by Python's strict json (a BLOB as the string X'..')."""

import csv, io, json, os, sqlite3, struct, subprocess, sys, tempfile
from html.parser import HTMLParser


class Cells(HTMLParser):
    def __init__(self):
        super().__init__()
        self.rows, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""
        elif tag == "br":
            self.cell += "\n"

    def handle_endtag(self, tag):
        if tag in ("td", "th"):
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


copies = json.load(sys.stdin)
table = Cells()
table.feed(subprocess.run(["cmark-gfm", "--unsafe", "-e", "table", "-e", "autolink"], input=copies["markdown"], capture_output=True,
                          text=True, check=True).stdout)
source = sqlite3.connect(":memory:").execute(copies["query"])
names, rows = [d[0] for d in source.description], source.fetchall()
quoted = lambda name: '"' + name.replace('"', '""') + '"'


def seen(con, value):  # as the engine sees it, a real to its bits
    return list(con.execute("SELECT typeof(?1), quote(?1)", (value,)).fetchone()) + [struct.pack(">d", value).hex() if type(value) is float else None]


def in_json(value):  # as JSON should give it
    return struct.pack(">d", value).hex() if type(value) is float else "X'" + value.hex().upper() + "'" if type(value) is bytes else value


exact = []
for inserts, text in zip(copies["inserts"], copies["jsons"]):
    with tempfile.TemporaryDirectory() as folder:
        fresh = os.path.join(folder, "fresh.db")
        subprocess.run(["sqlite3", "-bail", fresh], input="CREATE TABLE %s(%s);\n%s" % (quoted(copies["table"]), ",".join(map(quoted, names)), inserts),
                       text=True, check=True)
        con = sqlite3.connect(fresh)
        copied = con.execute("SELECT * FROM " + quoted(copies["table"])).fetchall()
        read = [list(r.values()) for r in json.loads(text, parse_constant=lambda c: sys.exit("not JSON: " + c))]
        exact += [] if len(rows) == len(copied) == len(read) else [["rows", len(rows), len(copied), len(read)]]
        exact += [[r, c, seen(con, v), seen(con, copied[r][c]), in_json(v), in_json(read[r][c])] for r, row in enumerate(rows)
                  for c, v in enumerate(row) if seen(con, v) != seen(con, copied[r][c]) or in_json(v) != in_json(read[r][c])]
json.dump({"csv": list(csv.reader(io.StringIO(copies["csv"], newline=""))), "markdown": table.rows, "exact": exact}, sys.stdout)
