"""The module's schemes are the scheme table's: core/schemes.h read as text, row by row,
against pbsim.SCHEMES (names, titles, orders, evaluations, colours, markers and kinds)."""

import pathlib
import re

import numpy as np

import pbsim

SCHEMES_H = pathlib.Path(__file__).resolve().parents[2] / "core" / "schemes.h"
# A row without a kind is explicit (SchemeInfo's default).
ROW = re.compile(r'info\{\s*\w+,\s*"([^"]+)",\s*"([^"]+)",\s*(\d+),\s*(\d+),\s*\{([^}]*)\},\s*'
                 r'"([^"]+)"\s*(?:,\s*SchemeKind::(\w+)\s*)?\}')


def table():
    # Each row's description is its `info{...}`, in the order the rows are defined (their
    # values are their places in the table).
    rows = ROW.findall(SCHEMES_H.read_text())
    assert len(rows) >= 5, "read the scheme table"
    return [(name, title, int(order), int(evaluations),
             tuple(float(np.float32(v.strip().rstrip("f"))) for v in colour.split(",")), marker,
             (kind or "Explicit").lower())
            for name, title, order, evaluations, colour, marker, kind in rows]


def test_every_scheme_is_the_tables():
    assert [tuple(s) for s in pbsim.SCHEMES] == table()


def test_each_kind_runs_as_its_kind():
    # Explicit schemes run in pbsim's single precision by default; implicit and adaptive
    # ones in double, and only the adaptive ones choose their steps (and reject some).
    for s in pbsim.SCHEMES:
        r = pbsim.flight(scheme=s.name)
        assert r.precision == ("single" if s.kind == "explicit" else "double"), s.name
        assert r.adaptive == (s.kind == "adaptive"), s.name
        steps = r.h[1:]
        assert (len(set(steps)) > 1) == (s.kind == "adaptive"), s.name
