#include "editing/Unit_sjbp_add.h"

#include "data/datamodule.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TForm_sjbp_add::TForm_sjbp_add(QWidget* owner) : EntryDialogBase(owner) {
    setObjectName(QStringLiteral("Form_sjbp_add"));
    setWindowTitle(tr("增加时间表内容"));
    Label8 =
        new QLabel(tr("（注明：\"歌曲列表\"是指内容为一些歌曲名集合的文件；可在\"歌曲列表编辑\"中"
                      "生成该类文件）"),
                   this);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label8->setWordWrap(true);
    QFont font(QStringLiteral("幼圆"));
    font.setPixelSize(14);
    Label8->setFont(font);
    Label8->setStyleSheet(QStringLiteral("color: olive;"));
    m_layout->insertWidget(1, Label8);
    resize(513, 359);
}

bool TForm_sjbp_add::writeEntry(const TimetableEntry& entry) {
    return TimetableEntries::insertEntry(*DataModule1, entry);
}

void TForm_sjbp_add::afterWrite() {
    Edit1->clear();
    Edit8->clear();
}
