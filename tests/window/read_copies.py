#!/usr/bin/python3
"""Reads rows that the window copied as CSV, JSON and Markdown with parsers of their own: Python's
csv and json, and for the table GitHub's reference Markdown (cmark-gfm, with its tables and links) rendered to HTML. Takes
{"csv": text, "json": text, "markdown": text} on standard input and writes each as it reads it:
rows of cells for CSV and Markdown (<br> as a line break), the JSON with each number as
{"number": its text}."""

import csv, io, json, subprocess, sys
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
number = lambda text: {"number": text}
json.dump({"csv": list(csv.reader(io.StringIO(copies["csv"], newline=""))), "markdown": table.rows,
           "json": json.loads(copies["json"], parse_int=number, parse_float=number)}, sys.stdout)
