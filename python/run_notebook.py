#!/usr/bin/env python3
"""Executes a notebook from top to bottom in a fresh kernel and fails on the first cell that
raises (an assert included). With --figure, also writes the PNG that the cell tagged
"readme-figure" shows: README's figure comes from the notebook itself.

    PYTHONPATH=build/dev/python /usr/bin/python3 python/run_notebook.py docs/lab.ipynb \\
        --figure docs/lab-convergence.png
"""

import argparse
import base64
import os
import sys

import nbformat
from nbclient import NotebookClient


def execute(path, timeout=600):
    """The executed notebook; raises nbclient's CellExecutionError on a failing cell."""
    notebook = nbformat.read(path, as_version=4)
    # The kernel sees this process's PYTHONPATH, but starts in the notebook's folder.
    paths = os.environ.get("PYTHONPATH", "").split(os.pathsep)
    os.environ["PYTHONPATH"] = os.pathsep.join(os.path.abspath(p) for p in paths if p)
    # Figures go into the cells' outputs, whatever backend the caller uses.
    os.environ["MPLBACKEND"] = "module://matplotlib_inline.backend_inline"
    # ipykernel's debugger otherwise warns on every start that Debian's Python freezes modules.
    os.environ["PYDEVD_DISABLE_FILE_VALIDATION"] = "1"
    NotebookClient(notebook, timeout=timeout, kernel_name="python3",
                   resources={"metadata": {"path": os.path.dirname(os.path.abspath(path))}}
                   ).execute()
    return notebook


def tagged_png(notebook, tag="readme-figure"):
    for cell in notebook.cells:
        if tag in cell.get("metadata", {}).get("tags", []):
            for output in cell.get("outputs", []):
                png = output.get("data", {}).get("image/png")
                if png:
                    return base64.b64decode(png)
    raise LookupError(f"no cell tagged {tag!r} shows a PNG")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("notebook")
    parser.add_argument("--figure", help="write the tagged cell's PNG to this file")
    args = parser.parse_args()
    notebook = execute(args.notebook)
    if args.figure:
        with open(args.figure, "wb") as out:
            out.write(tagged_png(notebook))
    print(f"{args.notebook}: every cell ran", file=sys.stderr)


if __name__ == "__main__":
    main()
