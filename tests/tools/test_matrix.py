"""The committed desktop matrix has the desktops and the actions that
tools/matrix.py writes today, so that a desktop or an action added to the
script without a new run of it does not go unseen."""

import unittest

from tools import matrix


def layout(markdown):
    """The column heads and the row heads of the matrix's table."""
    rows = [line.split(" | ") for line in markdown.splitlines() if line.startswith("| ")]
    heads = [cell.strip("| ") for cell in rows[0][1:]]
    return heads, [row[0].strip("| ") for row in rows[1:]]


class Matrix(unittest.TestCase):
    def test_the_committed_matrix_has_the_tools_desktops_and_actions(self):
        expected = (matrix.COLUMNS, matrix.ROWS)
        self.assertEqual(layout(matrix.markdown({c: {} for c in matrix.COLUMNS})), expected)
        with open(matrix.OUTPUT) as committed:
            self.assertEqual(layout(committed.read()), expected,
                             "docs/desktops.md is out of date: run python3 -m tools.matrix")


if __name__ == "__main__":
    unittest.main()
