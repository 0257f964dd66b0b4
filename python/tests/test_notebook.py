"""The lab notebook runs from top to bottom, its assertions included."""

import pathlib
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "python"))
import run_notebook  # noqa: E402


@pytest.mark.notebook
def test_lab_notebook_runs_and_draws_readmes_figure():
    notebook = run_notebook.execute(str(ROOT / "docs" / "lab.ipynb"))
    assert run_notebook.tagged_png(notebook).startswith(b"\x89PNG")
    errors = [o for c in notebook.cells if c.cell_type == "code" for o in c.outputs
              if o.output_type == "error"]
    assert not errors
