#!/usr/bin/env python3
"""Reads a calibration report workbook back and checks it against the
inputs it was written from: every cell text, font size, merge, wrap,
centring, border and row height of the layout, and how it prints.

usage: check_report.py WORKBOOK INPUTS.json
exit status 0 when the workbook matches, 1 with a list of differences.
"""
import json
import sys

import openpyxl
from openpyxl.utils import get_column_letter

CAPTIONS = ["Number of lines", "Time", "Measurement value", "Serial Number"]
DEFAULT_FONT_SIZE = 11
STATISTICS_LINES = 9


def expected_layout(inputs):
    """Cell texts, font sizes and centred cells by (row, column), merges."""
    columns = inputs["columns"]
    rows = inputs["rows"]
    last = get_column_letter(columns - 1)
    count = len(rows)
    texts, sizes, centred = {}, {}, set()

    texts[(1, 1)] = inputs["title"]
    sizes[(1, 1)] = 12
    centred.add((1, 1))
    for j in range(1, columns):
        texts[(2, j)] = CAPTIONS[j]
        sizes[(2, j)] = 16
        centred.add((2, j))
    for i, row in enumerate(rows):
        for j in range(1, columns):
            texts[(i + 3, j)] = row[j] or None
            sizes[(i + 3, j)] = DEFAULT_FONT_SIZE
    lines = [
        "True value;" + inputs["true_value"],
        "Relative inherent error;" + inputs["relative_error"] + "%",
        "coefficient of variation;" + inputs["variation"] + "%",
        "Report Time;" + inputs["time"],
        "Background;" + inputs["background"],
        "Standard deviation;" + inputs["standard_deviation"],
        "Expanded uncertainty;" + inputs["expanded_uncertainty"],
        "Decision rule;" + inputs["decision_rule"],
        "Verdict;" + inputs["verdict"],
    ]
    merges = {"A1:%s1" % last}
    for k, line in enumerate(lines):
        r = count + 3 + k
        texts[(r, 1)] = line
        sizes[(r, 1)] = 10
        centred.add((r, 1))
        merges.add("A%d:B%d" % (r, r))
    return texts, sizes, centred, merges


class Checker:
    def __init__(self, sheet):
        self.sheet = sheet
        self.problems = []

    def expect(self, what, got, wanted):
        if got != wanted:
            self.problems.append("%s: got %r, expected %r" % (what, got, wanted))

    def texts(self, texts):
        for row in self.sheet.iter_rows():
            for cell in row:
                wanted = texts.get((cell.row, cell.column))
                self.expect("text of %s" % cell.coordinate, cell.value, wanted)
                if cell.value is not None:
                    self.expect("type of %s" % cell.coordinate, cell.data_type, "s")
        for (r, c), wanted in texts.items():
            self.expect("text of %s%d" % (get_column_letter(c), r), self.sheet.cell(r, c).value, wanted)

    def formats(self, sizes, centred):
        for (r, c), size in sizes.items():
            cell = self.sheet.cell(r, c)
            self.expect("font size of %s" % cell.coordinate, cell.font.sz, size)
            on = (r, c) in centred
            self.expect("wrap of %s" % cell.coordinate, bool(cell.alignment.wrap_text), on)
            self.expect("horizontal of %s" % cell.coordinate, cell.alignment.horizontal, "center" if on else None)
            self.expect("vertical of %s" % cell.coordinate, cell.alignment.vertical, "center" if on else None)

    def borders(self, block_rows, columns, other_cells):
        for r in block_rows:
            for c in range(1, columns):
                cell = self.sheet.cell(r, c)
                for side in ("left", "right", "top", "bottom"):
                    edge = getattr(cell.border, side)
                    self.expect("%s border of %s" % (side, cell.coordinate), edge.style, "thin")
                    colour = edge.color.rgb if edge.color is not None else None
                    self.expect("%s border colour of %s" % (side, cell.coordinate), colour, "FF000000")
        for r, c in other_cells:
            cell = self.sheet.cell(r, c)
            for side in ("left", "right", "top", "bottom"):
                self.expect("%s border of %s" % (side, cell.coordinate), getattr(cell.border, side).style, None)

    def widths(self, texts, sizes, merges):
        """Every text fits its column, or the columns of its merged area,
        without wrapping (a width unit is one character of the 11 pt font)."""
        spans = {}
        for area in merges:
            first, last = area.split(":")
            a = self.sheet[first]
            spans[(a.row, a.column)] = range(a.column, self.sheet[last].column + 1)
        for (r, c), text in texts.items():
            if not text:
                continue
            columns = spans.get((r, c), [c])
            have = sum(self.sheet.column_dimensions[get_column_letter(k)].width or 0 for k in columns)
            need = len(text) * sizes.get((r, c), DEFAULT_FONT_SIZE) / DEFAULT_FONT_SIZE
            if have < need:
                self.problems.append("%s%d is %.1f wide for a text of width %.1f" % (get_column_letter(c), r, have, need))

    def heights(self, wanted, last_row):
        for r in range(1, last_row + 1):
            got = self.sheet.row_dimensions[r].height if r in self.sheet.row_dimensions else None
            self.expect("height of row %d" % r, got, wanted.get(r))


def check(path, inputs):
    book = openpyxl.load_workbook(path)
    checker = Checker(book.worksheets[0])
    checker.expect("sheet count", len(book.worksheets), 1)
    texts, sizes, centred, merges = expected_layout(inputs)
    columns, count = inputs["columns"], len(inputs["rows"])
    sheet = checker.sheet

    checker.texts(texts)
    checker.expect("merged ranges", sorted(str(m) for m in sheet.merged_cells.ranges), sorted(merges))
    checker.formats(sizes, centred)
    checker.widths(texts, sizes, merges)
    fit = sheet.sheet_properties.pageSetUpPr
    checker.expect("printed to fit the page", bool(fit and fit.fitToPage), True)
    checker.expect("pages wide", sheet.page_setup.fitToWidth or 1, 1)  # 1 is the default, left out
    checker.expect("pages high", sheet.page_setup.fitToHeight, 0)  # as many as the rows need
    titles = (sheet.print_title_rows or "").replace("$", "")
    checker.expect("rows printed atop every page", titles, "2:2")  # the captions
    statistics = [(r, 1) for r in range(count + 3, count + 3 + STATISTICS_LINES)]
    checker.borders(range(2, count + 3), columns, [(1, 1)] + statistics)
    heights = {1: 60}
    heights.update({r: 20 for r in range(2, count + 3)})
    checker.heights(heights, count + 2 + STATISTICS_LINES)
    checker.expect("last column", sheet.max_column, columns - 1)
    checker.expect("last row", sheet.max_row, count + 2 + STATISTICS_LINES)
    return checker.problems


def main():
    path, inputs_path = sys.argv[1], sys.argv[2]
    with open(inputs_path, encoding="utf-8") as stream:
        inputs = json.load(stream)
    problems = check(path, inputs)
    for problem in problems:
        print(problem)
    print("%s: %s" % (path, "%d difference(s)" % len(problems) if problems else "as expected"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
