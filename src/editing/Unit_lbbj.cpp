#include "editing/Unit_lbbj.h"

#include "base/MessageService.h"
#include "editing/PlaylistDialogs.h"
#include "editing/PlaylistFile.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace {
QPushButton* button(QWidget* parent, const char* name, const QString& caption, int x, int y) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, 100, 27);
    return b;
}
} // namespace

TForm_lbbj::TForm_lbbj(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("Form_lbbj"));
    setWindowTitle(tr("歌曲列表编辑"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(669, 463);

    Label1 = new QLabel(SongList::editorCountText(0), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 10, 300, 20);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    ListBox1->setGeometry(16, 34, 513, 413);

    const int x = 548;
    Button1 = button(this, "Button1", tr("添加歌曲..."), x, 34);
    Button4 = button(this, "Button4", tr("清除全部"), x, 74);
    Button6 = button(this, "Button6", tr("清除一首"), x, 114);
    Button5 = button(this, "Button5", tr("打开列表..."), x, 174);
    Button2 = button(this, "Button2", tr("保存列表..."), x, 214);
    Button3 = button(this, "Button3", tr("关闭"), x, 420);

    connect(Button1, &QPushButton::clicked, this, &TForm_lbbj::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TForm_lbbj::Button4Click);
    connect(Button6, &QPushButton::clicked, this, &TForm_lbbj::Button6Click);
    connect(Button5, &QPushButton::clicked, this, &TForm_lbbj::Button5Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_lbbj::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm_lbbj::Button3Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm_lbbj::showList() {
    ListBox1->clear();
    ListBox1->addItems(m_list.entries());
    ListBox1->setCurrentRow(-1);
    Label1->setText(SongList::editorCountText(m_list.count()));
}

void TForm_lbbj::Button1Click() {
    const QStringList files = PlaylistDialogs::current().chooseSongs(this);
    m_list.append(files);
    showList();
}

void TForm_lbbj::Button4Click() {
    m_list.clear();
    showList();
}

void TForm_lbbj::Button6Click() {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    if (!selected.isEmpty())
        m_list.removeAt(ListBox1->row(selected.constFirst()));
    showList();
}

void TForm_lbbj::Button5Click() {
    const QString path = PlaylistDialogs::current().chooseListToOpen(this);
    if (!path.isEmpty()) {
        try {
            m_list.load(path);
        } catch (const PlaylistError& e) {
            msg::report(e);
        }
    }
    showList();
}

void TForm_lbbj::Button2Click() {
    const QString chosen =
        PlaylistDialogs::current().chooseListToSave(this, SongList::saveStartDir());
    if (chosen.isEmpty())
        return;
    try {
        m_list.save(SongList::withPlaylistSuffix(chosen));
    } catch (const PlaylistError& e) {
        msg::report(e);
    }
}

void TForm_lbbj::Button3Click() {
    close();
}
