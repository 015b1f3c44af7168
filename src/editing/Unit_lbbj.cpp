#include "editing/Unit_lbbj.h"

#include "base/MessageService.h"
#include "data/ExtraTables.h"
#include "data/WindowPlace.h"
#include "data/datamodule.h"
#include "editing/PlaylistDialogs.h"
#include "editing/PlaylistFile.h"
#include "editing/SongListBox.h"
#include "editing/SongListView.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QString& hint = {}) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setMinimumWidth(100);
    return b;
}
} // namespace

TForm_lbbj::TForm_lbbj(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("Form_lbbj"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = new QLabel(SongList::editorCountText(0), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ListBox1 = new SongListBox(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(tr("可从文件管理器拖入歌曲或文件夹，拖动歌曲可调整顺序"));

    Button1 = button(this, "Button1", tr("添加歌曲..."));
    Button4 = button(this, "Button4", tr("清除全部"));
    Button6 = button(this, "Button6", tr("清除一首"), tr("删除选中的歌曲（Delete）"));
    Button7 = button(this, "Button7", tr("上移"), tr("选中的歌曲上移一位（Ctrl+↑）"));
    Button8 = button(this, "Button8", tr("下移"), tr("选中的歌曲下移一位（Ctrl+↓）"));
    Button5 = button(this, "Button5", tr("打开列表..."));
    Button2 = button(this, "Button2", tr("保存列表..."),
                     tr("保存为歌曲列表文件（Ctrl+S 保存到当前文件）"));
    Button3 = button(this, "Button3", tr("关闭"));

    auto* heading = new QHBoxLayout;
    heading->addWidget(Label1);
    heading->addStretch(1);
    heading->addWidget(Label2);
    auto* left = new QVBoxLayout;
    left->addLayout(heading);
    left->addWidget(ListBox1, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {Button1, Button4, Button6})
        buttons->addWidget(b);
    buttons->addSpacing(12);
    buttons->addWidget(Button7);
    buttons->addWidget(Button8);
    buttons->addSpacing(12);
    buttons->addWidget(Button5);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    buttons->addWidget(Button3);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);

    m_view = new SongListView(ListBox1, Label1, &SongList::editorCountText, Label2, this);
    connect(m_view, &SongListView::changed, this, &TForm_lbbj::updateTitle);

    connect(Button1, &QPushButton::clicked, this, &TForm_lbbj::Button1Click);
    connect(Button4, &QPushButton::clicked, this, &TForm_lbbj::Button4Click);
    connect(Button6, &QPushButton::clicked, this, &TForm_lbbj::Button6Click);
    connect(Button7, &QPushButton::clicked, this, [this] { m_view->moveSelected(-1); });
    connect(Button8, &QPushButton::clicked, this, [this] { m_view->moveSelected(+1); });
    connect(Button5, &QPushButton::clicked, this, &TForm_lbbj::Button5Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_lbbj::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm_lbbj::Button3Click);

    connect(new QShortcut(QKeySequence::Delete, ListBox1, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, &TForm_lbbj::Button6Click);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), this), &QShortcut::activated, this,
            [this] { m_view->moveSelected(-1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down), this), &QShortcut::activated, this,
            [this] { m_view->moveSelected(+1); });
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            &TForm_lbbj::saveInPlace);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &TForm_lbbj::close);

    updateTitle();
    WindowPlace::remember(this, defaultSize);
}

TForm_lbbj::~TForm_lbbj() = default;

const SongList& TForm_lbbj::list() const {
    return m_view->list();
}

void TForm_lbbj::updateTitle() {
    QString title = tr("歌曲列表编辑");
    if (!m_fileName.isEmpty())
        title += QStringLiteral(" - ") + QFileInfo(m_fileName).fileName();
    if (m_view->list().isModified())
        title += QStringLiteral(" *");
    setWindowTitle(title);
    setWindowModified(m_view->list().isModified());
}

void TForm_lbbj::Button1Click() {
    m_view->addChosenSongs();
}

void TForm_lbbj::Button4Click() {
    m_view->clearAll();
}

void TForm_lbbj::Button6Click() {
    m_view->removeSelected();
}

void TForm_lbbj::Button5Click() {
    const QString path =
        PlaylistDialogs::current().chooseListToOpen(this, SongList::openStartDir());
    if (!path.isEmpty()) {
        try {
            m_view->list().load(path);
            m_fileName = path;
        } catch (const PlaylistError& e) {
            msg::report(e);
        }
    }
    m_view->show();
}

void TForm_lbbj::Button2Click() {
    const QString chosen =
        PlaylistDialogs::current().chooseListToSave(this, SongList::saveStartDir());
    if (!chosen.isEmpty())
        saveTo(SongList::withPlaylistSuffix(chosen));
}

void TForm_lbbj::saveInPlace() {
    if (m_fileName.isEmpty())
        Button2Click();
    else
        saveTo(m_fileName);
}

bool TForm_lbbj::saveTo(const QString& path) {
    try {
        m_view->list().save(path);
    } catch (const PlaylistError& e) {
        msg::report(e);
        return false;
    }
    m_fileName = path;
    SongList::rememberSaveDir(QFileInfo(path).absolutePath());
    updateTitle();
    return true;
}

void TForm_lbbj::Button3Click() {
    close();
}

void TForm_lbbj::closeEvent(QCloseEvent* event) {
    // Unsaved changes are not dropped without a word: save, drop, or stay.
    const bool mayClose = m_view->mayClose([this] {
        saveInPlace();
        return !m_view->list().isModified(); // still modified: cancelled or failed
    });
    if (!mayClose) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
