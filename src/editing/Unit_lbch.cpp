#include "editing/Unit_lbch.h"

#include "base/MessageService.h"
#include "editing/PlaylistDialogs.h"
#include "editing/PlaylistFile.h"
#include "settings/Unit_mm.h"

#include <QDir>
#include <QFileInfo>
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

TForm_lb::TForm_lb(const QString& path, QWidget* owner) : QWidget(owner, Qt::Window), m_path(path) {
    setObjectName(QStringLiteral("Form_lb"));
    setWindowTitle(tr("查看歌曲列表内容"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(611, 507);

    Label1 = new QLabel(tr("歌曲列表文件名："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 10, 440, 20);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(460, 10, 130, 20);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    ListBox1->setGeometry(16, 34, 579, 420);

    Button1 = button(this, "Button1", tr("添加歌曲..."), 16, 466);
    Button2 = button(this, "Button2", tr("清除全部"), 126, 466);
    Button3 = button(this, "Button3", tr("清除一首"), 236, 466);
    Button4 = button(this, "Button4", tr("保存列表"), 495, 466);
    connect(Button1, &QPushButton::clicked, this, &TForm_lb::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_lb::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm_lb::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm_lb::Button4Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

void TForm_lb::FormCreate() {
    // An unreadable file is reported; the viewer opens empty with only the
    // label's caption, and saving creates the file at the same path.
    try {
        m_list.load(m_path);
    } catch (const PlaylistError& e) {
        m_unreadable = QFileInfo::exists(m_path); // a missing file is simply created
        msg::report(e);
        return;
    }
    Label1->setText(SongList::viewerNameText(m_path));
    showList();
}

void TForm_lb::showList() {
    ListBox1->clear();
    ListBox1->addItems(m_list.entries());
    ListBox1->setCurrentRow(-1);
    Label2->setText(SongList::viewerCountText(m_list.count()));
}

void TForm_lb::Button1Click() {
    m_list.append(PlaylistDialogs::current().chooseSongs(this));
    showList();
}

void TForm_lb::Button2Click() {
    m_list.clear();
    showList();
}

void TForm_lb::Button3Click() {
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    if (!selected.isEmpty())
        m_list.removeAt(ListBox1->row(selected.constFirst()));
    showList();
}

void TForm_lb::Button4Click() {
    // A file that could not be read at opening is only created, never
    // replaced: its songs were never shown, so saving would lose them.
    if (m_unreadable && QFileInfo::exists(m_path)) {
        msg::report(PlaylistError(
            QStringLiteral("Cannot create file \"%1\". %2")
                .arg(QDir::toNativeSeparators(m_path),
                     tr("The existing file could not be read when the list was opened; it is "
                        "kept as it is."))
                .toStdString()));
        return;
    }
    // The list plays on the schedule: changing it needs the password, as in
    // the song-list editor.
    if (!AskPassword(this))
        return;
    try {
        m_list.save(m_path);
    } catch (const PlaylistError& e) {
        msg::report(e);
        return; // stays open with the list, so nothing is lost
    }
    msg::notice(tr("保存列表成功。"));
    close();
}
