#!/usr/bin/env python3
"""Opens the report of the example snapshots in headless Chromium: every row shows, with or
without scripts; the summary's counts agree with the JSON output; the filter box narrows the
rows; a changed body shows its removed and added lines, as text. Usage: report_in_browser.py
TABLOR_CLI EXAMPLES_DIR"""
import collections
import html.parser
import json
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77
KINDS = {0: "Table", 1: "Field", 2: "View", 3: "Procedure", 4: "Function", 5: "Constraint", 6: "Field changed"}


class Page(html.parser.HTMLParser):
    """The difference rows (five cells) with their text and whether the filter hid them, and the
    summary's total and counts."""

    def __init__(self):
        super().__init__()
        self.rows = []  # [text, hidden, cell count]
        self.summary_hidden = None
        self.total = ""
        self.counts = collections.OrderedDict()
        self._in_row = self._in_total = self._in_item = self._in_number = self._in_heading = False
        self._item = self._number = ""
        self._group = None
        self.marked = {"del": [], "ins": []}  # the report's removed and added lines
        self._marking = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "section" and attrs.get("id") == "summary":
            self.summary_hidden = "hidden" in attrs
        elif tag == "tr":
            self._in_row = True
            self.rows.append(["", "filtered-out" in (attrs.get("class") or ""), 0])
        elif tag == "td" and self._in_row:
            self.rows[-1][2] += 1
        elif tag == "div" and attrs.get("id") == "summary-total":
            self._in_total = True
        elif tag == "h2":
            self._in_heading, self._group = True, ""
        elif tag == "li":
            self._in_item, self._item, self._number = True, "", ""
        elif tag == "b" and self._in_item:
            self._in_number = True
        elif tag in self.marked:
            self._marking = tag
            self.marked[tag].append("")

    def handle_endtag(self, tag):
        if tag in self.marked:
            self._marking = None
        if tag == "tr":
            self._in_row = False
        elif tag == "div":
            self._in_total = False
        elif tag == "h2":
            self._in_heading = False
        elif tag == "b":
            self._in_number = False
        elif tag == "li" and self._in_item:
            self._in_item = False
            self.counts[(self._group, self._item)] = int(self._number)

    def handle_data(self, data):
        if self._marking:
            self.marked[self._marking][-1] += data
        if self._in_row:
            self.rows[-1][0] += data
        if self._in_total:
            self.total += data
        if self._in_heading:
            self._group += data
        if self._in_number:
            self._number += data
        elif self._in_item:
            self._item += data

    def differences(self):
        return [row for row in self.rows if row[2] == 5]


def copy_with(source, target, head="", end=""):
    """A copy of the page with markup added after <head> and at its end."""
    with open(source, encoding="utf-8") as page:
        text = page.read()
    with open(target, "w", encoding="utf-8") as page:
        page.write(text.replace("<head>", "<head>" + head, 1) + end)
    return target


def dump(chromium, profile, path):
    command = [chromium, "--headless", "--disable-gpu", "--user-data-dir=" + profile,
               "--virtual-time-budget=3000", "--dump-dom", "file://" + path]
    if os.geteuid() == 0:
        command.insert(1, "--no-sandbox")
    result = subprocess.run(command, capture_output=True, text=True, timeout=25)
    if result.returncode != 0:
        sys.exit("chromium failed: " + result.stderr[-2000:])
    page = Page()
    page.feed(result.stdout)
    return page


def main():
    cli, examples = sys.argv[1], sys.argv[2]
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        print("SKIPPED: chromium is not installed (scripts/install-deps.sh installs it)")
        return SKIP
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory() as folder:
        report = os.path.join(folder, "report.html")
        sides = [os.path.join(examples, "shop-v1.snp"), os.path.join(examples, "shop-v2.snp")]
        subprocess.run([cli, "compare", *sides, "--html", report], capture_output=True, timeout=20)
        records = json.loads(subprocess.run([cli, "compare", *sides, "--format", "json"],
                                            capture_output=True, text=True, timeout=20).stdout)["differences"]
        profile = os.path.join(folder, "profile")

        expected = collections.OrderedDict()
        for kind in sorted({r["ObjectType"] for r in records}):
            expected[("By kind", KINDS[kind])] = sum(1 for r in records if r["ObjectType"] == kind)
        for side in ("shop-v1.snp", "shop-v2.snp"):
            expected[("Not found on", side)] = sum(1 for r in records if r["Source"] == side)

        # Turning scripts off in the browser would stop it dumping the page too; the page's own
        # policy stops only the page's scripts.
        no_scripts = copy_with(report, os.path.join(folder, "no-scripts.html"),
                               head='<meta http-equiv="Content-Security-Policy" content="script-src \'none\'">')
        for scripts in (True, False):
            page = dump(chromium, profile, report if scripts else no_scripts)
            if scripts:
                check(page.total.strip() == f"{len(records)} differences", f"summary total {page.total!r}")
                check(page.counts == expected, f"summary counts {dict(page.counts)} != {dict(expected)}")
            rows = page.differences()
            check(len(rows) == len(records), f"scripts={scripts}: {len(rows)} rows, {len(records)} expected")
            check(not any(row[1] for row in rows), f"scripts={scripts}: a row is hidden before any filter")
            check(page.summary_hidden == (not scripts), f"scripts={scripts}: summary hidden={page.summary_hidden}")


        for query in ("customers", "FIELD  shop-v1.snp"):
            typed = copy_with(report, os.path.join(folder, "typed.html"),
                              end="<script>addEventListener('load', function () {"
                              " var box = document.getElementById('filter-box'); box.value = "
                              + json.dumps(query) + "; box.dispatchEvent(new Event('input')); });</script>")
            rows = dump(chromium, profile, typed).differences()
            words = query.lower().split()
            for text, hidden, _ in rows:
                matches = all(word in text.lower() for word in words)
                check(hidden != matches, f"filter {query!r}: row {text.strip()[:60]!r} hidden={hidden}")
            visible = sum(1 for row in rows if not row[1])
            check(0 < visible < len(rows), f"filter {query!r}: {visible} of {len(rows)} rows visible")

        # A view whose body changed, one line of which would be markup if it were not escaped.
        sides = []
        for number, body in ((1, "select a,%0A  b%0Afrom t%0Awhere x = 1"),
                             (2, "select a,%0A  %3Cimg src=x onerror=alert(1)%3E%0Afrom t")):
            side = os.path.join(folder, f"side{number}.snp")
            with open(side, "w", encoding="utf-8", newline="") as snapshot:
                snapshot.write(f"SRV*Db{number}*u*\r\n*\r\nv*\r\n*\r\n"
                               f"~V*1*schema=dbo*definition={body}\r\n:t\r\nid*int*\r\n")
            sides.append(side)
        bodies = os.path.join(folder, "bodies.html")
        subprocess.run([cli, "compare", *sides, "--definitions", "--html", bodies],
                       capture_output=True, timeout=20)
        page = dump(chromium, profile, bodies)
        check(page.total.strip() == "1 difference", f"bodies: summary total {page.total!r}")
        check(page.counts.get(("By kind", "View changed")) == 1, f"bodies: counts {dict(page.counts)}")
        check(len(page.differences()) == 1, f"bodies: {len(page.differences())} difference rows")
        check(page.marked["del"] == ["-   b\n", "- where x = 1\n"], f"bodies: removed {page.marked['del']}")
        check(page.marked["ins"] == ["+   <img src=x onerror=alert(1)>\n"], f"bodies: added {page.marked['ins']}")

    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
