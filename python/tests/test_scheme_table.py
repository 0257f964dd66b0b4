"""The module's schemes are the scheme table's: core/schemes.h read as text, row by row,
against pbsim.SCHEMES (names, titles, orders, evaluations, colours and markers)."""

import pathlib
import re

import numpy as np

import pbsim

SCHEMES_H = pathlib.Path(__file__).resolve().parents[2] / "core" / "schemes.h"
ROW = re.compile(r'info\{\s*\w+,\s*"([^"]+)",\s*"([^"]+)",\s*(\d+),\s*(\d+),\s*\{([^}]*)\},\s*"([^"]+)"\s*\}')


def table():
    # Each row's description is its `info{...}`, in the order the rows are defined (their
    # values are their places in the table).
    rows = ROW.findall(SCHEMES_H.read_text())
    assert len(rows) >= 5, "read the scheme table"
    return [(name, title, int(order), int(evaluations),
             tuple(float(np.float32(v.strip().rstrip("f"))) for v in colour.split(",")), marker)
            for name, title, order, evaluations, colour, marker in rows]


def test_every_scheme_is_the_tables():
    assert [tuple(s) for s in pbsim.SCHEMES] == table()
