#pragma once

#include "data/datamodule.h"

class QComboBox;

// Clears the combo box's items, then adds every text of the list in order.
void CopyListToCombo(const QStringList& list, QComboBox* combo);
// The first-column values of a statement's rows into a combo box.
void FillComboFromQuery(TDataModule1& dm, TQuery& query, const QString& statement, QComboBox* combo,
                        const QVariantList& values = {});

class QTableView;
// The grids' small font, so "hh:mm:ss" fits a 60-pixel time column.
void SetCompactGridFont(QTableView* grid);
// Every column as wide as its title and its widest value, the path column
// taking the room that is left (long paths are shortened in the middle, so
// the file name stays readable).
void FitGridColumns(QTableView* grid, int pathColumn);
