#!/usr/bin/env python3
"""Prints the text cells of a workbook's first sheet as JSON, {"A1": ...}."""
import json
import sys

import openpyxl

sheet = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
cells = {c.coordinate: c.value for row in sheet.iter_rows() for c in row if c.value is not None}
print(json.dumps(cells))
