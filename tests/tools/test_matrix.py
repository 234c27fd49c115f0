"""The committed desktop matrix has the desktops and the actions that
tools/matrix.py writes today, so that a desktop or an action added to the
script without a new run of it does not go unseen; and a matrix read back
keeps every cell, so that a run of some desktops loses none of the others."""

import unittest

from tools import matrix, matrix_table


def expected_layout():
    return {title: ([matrix_table.head(c) for c in matrix.COLUMNS
                     if matrix_table.generation_of(c) == release], matrix.ROWS)
            for release, title in matrix.GENERATIONS
            if any(matrix_table.generation_of(c) == release for c in matrix.COLUMNS)}


class Matrix(unittest.TestCase):
    def test_the_committed_matrix_has_the_tools_desktops_and_actions(self):
        self.assertEqual(matrix_table.layout(matrix.markdown({})), expected_layout())
        with open(matrix.OUTPUT) as committed:
            self.assertEqual(matrix_table.layout(committed.read()), expected_layout(),
                             "docs/desktops.md is out of date: run python3 -m tools.matrix")

    def test_a_matrix_read_back_has_the_cells_it_was_written_from(self):
        names = [name for name in matrix.COLUMNS if matrix_table.generation_of(name) == ""][:2]
        names += [name for name in matrix.COLUMNS if ":" in name][:1]
        cells = {
            names[0]: {matrix.START: ["MOVED 1,2", "a | b", "", "last \\ one"]},
            names[1]: {matrix.HANDOVERS: ["100 of 100"], matrix.STDERR: ["·x", "<b>"]},
            names[2]: {matrix.LIBRARY: ["SDL 3.4.18"]},
        }
        read = matrix_table.parse(matrix.markdown(cells), matrix.GENERATIONS)
        for name, rows in cells.items():
            for row, lines in rows.items():
                self.assertEqual(read[name][row], lines, (name, row))
        self.assertEqual(read[names[0]][matrix.WARNINGS], [])


if __name__ == "__main__":
    unittest.main()
