#include "data/DataModuleUi.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableView>

void CopyListToCombo(const QStringList& list, QComboBox* combo) {
    combo->clear();
    combo->addItems(list);
}

void FillComboFromQuery(TDataModule1& dm, TQuery& query, const QString& statement, QComboBox* combo,
                        const QVariantList& values) {
    QStringList list;
    CopyListToCombo(dm.FillListFromQuery(query, statement, list, values), combo);
}

void SetCompactGridFont(QTableView* grid) {
    QFont font = grid->font();
    font.setPixelSize(11);
    grid->setFont(font);
    grid->horizontalHeader()->setFont(font);
}

void FitGridColumns(QTableView* grid, int pathColumn) {
    QHeaderView* header = grid->horizontalHeader();
    grid->setTextElideMode(Qt::ElideMiddle);
    grid->setWordWrap(false); // a wrapped cell is cut at its end, not in the middle
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(40);
    for (int c = 0; c < header->count(); ++c)
        header->setSectionResizeMode(c, c == pathColumn ? QHeaderView::Stretch
                                                        : QHeaderView::ResizeToContents);
}
