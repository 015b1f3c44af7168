#pragma once

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTableView>
#include <algorithm>
#include <gtest/gtest.h>

// Each shown column of a grid shows its title and its widest value whole, and
// together they fit the grid without a horizontal scrollbar.
inline void expectColumnsReadable(QTableView* grid) {
    int total = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c) {
        if (grid->isColumnHidden(c))
            continue;
        int needed = grid->horizontalHeader()->sectionSizeHint(c);
        for (int r = 0; r < grid->model()->rowCount(); ++r) {
            const QString text = grid->model()->index(r, c).data().toString();
            needed = std::max(needed, grid->fontMetrics().horizontalAdvance(text) + 4);
        }
        EXPECT_GE(grid->columnWidth(c), needed) << "column " << c << " is cut";
        total += grid->columnWidth(c);
    }
    EXPECT_LE(total, grid->viewport()->width()) << "columns hidden behind a scrollbar";
}
