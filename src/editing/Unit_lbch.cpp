#include "editing/Unit_lbch.h"

#include "base/MessageService.h"
#include "data/WindowPlace.h"
#include "editing/PlaylistDialogs.h"
#include "editing/PlaylistFile.h"
#include "editing/SongListBox.h"
#include "editing/SongListView.h"
#include "settings/Unit_mm.h"

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
    b->setMinimumWidth(90);
    return b;
}
} // namespace

TForm_lb::TForm_lb(const QString& path, QWidget* owner) : QWidget(owner, Qt::Window), m_path(path) {
    setObjectName(QStringLiteral("Form_lb"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);

    Label1 = new QLabel(tr("歌曲列表文件名："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ListBox1 = new SongListBox(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setToolTip(tr("可从文件管理器拖入歌曲或文件夹，拖动歌曲可调整顺序"));

    Button1 = button(this, "Button1", tr("添加歌曲..."));
    Button2 = button(this, "Button2", tr("清除全部"));
    Button3 = button(this, "Button3", tr("清除一首"), tr("删除选中的歌曲（Delete）"));
    Button5 = button(this, "Button5", tr("上移"), tr("选中的歌曲上移一位（Ctrl+↑）"));
    Button6 = button(this, "Button6", tr("下移"), tr("选中的歌曲下移一位（Ctrl+↓）"));
    Button4 = button(this, "Button4", tr("保存列表"), tr("保存并关闭（Ctrl+S）"));

    auto* heading = new QHBoxLayout;
    heading->addWidget(Label1);
    heading->addWidget(Label2);
    heading->addStretch(1);
    heading->addWidget(Label3);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button2, Button3, Button5, Button6})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(Button4);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addWidget(ListBox1, 1);
    layout->addLayout(buttons);

    m_view = new SongListView(ListBox1, Label2, &SongList::viewerCountText, Label3, this);
    connect(m_view, &SongListView::changed, this, &TForm_lb::updateTitle);

    connect(Button1, &QPushButton::clicked, this, &TForm_lb::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm_lb::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm_lb::Button3Click);
    connect(Button5, &QPushButton::clicked, this, [this] { m_view->moveSelected(-1); });
    connect(Button6, &QPushButton::clicked, this, [this] { m_view->moveSelected(+1); });
    connect(Button4, &QPushButton::clicked, this, &TForm_lb::Button4Click);

    connect(new QShortcut(QKeySequence::Delete, ListBox1, nullptr, nullptr, Qt::WidgetShortcut),
            &QShortcut::activated, this, &TForm_lb::Button3Click);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up), this), &QShortcut::activated, this,
            [this] { m_view->moveSelected(-1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down), this), &QShortcut::activated, this,
            [this] { m_view->moveSelected(+1); });
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            &TForm_lb::Button4Click);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &TForm_lb::close);

    WindowPlace::remember(this, defaultSize);
    FormCreate();
}

TForm_lb::~TForm_lb() = default;

const SongList& TForm_lb::list() const {
    return m_view->list();
}

void TForm_lb::FormCreate() {
    // An unreadable file is reported; the viewer opens empty with only the
    // label's caption, and saving creates the file at the same path.
    try {
        m_view->list().load(m_path);
    } catch (const PlaylistError& e) {
        m_unreadable = QFileInfo::exists(m_path); // a missing file is simply created
        updateTitle();
        msg::report(e);
        return;
    }
    Label1->setText(SongList::viewerNameText(m_path));
    m_view->show();
}

void TForm_lb::updateTitle() {
    QString title = tr("查看歌曲列表内容") + QStringLiteral(" - ") + QFileInfo(m_path).fileName();
    if (m_view->list().isModified())
        title += QStringLiteral(" *");
    setWindowTitle(title);
    setWindowModified(m_view->list().isModified());
}

void TForm_lb::Button1Click() {
    m_view->addChosenSongs();
}

void TForm_lb::Button2Click() {
    m_view->clearAll();
}

void TForm_lb::Button3Click() {
    m_view->removeSelected();
}

bool TForm_lb::save() {
    // A file that could not be read at opening is only created, never
    // replaced: its songs were never shown, so saving would lose them.
    if (m_unreadable && QFileInfo::exists(m_path)) {
        msg::report(PlaylistError(
            QStringLiteral("Cannot create file \"%1\". %2")
                .arg(QDir::toNativeSeparators(m_path),
                     tr("The existing file could not be read when the list was opened; it is "
                        "kept as it is."))
                .toStdString()));
        return false;
    }
    // The list plays on the schedule: changing it needs the password, as in
    // the song-list editor.
    if (!AskPassword(this))
        return false;
    try {
        m_view->list().save(m_path);
    } catch (const PlaylistError& e) {
        msg::report(e);
        return false; // stays open with the list, so nothing is lost
    }
    updateTitle();
    return true;
}

void TForm_lb::Button4Click() {
    if (!save())
        return;
    msg::notice(tr("保存列表成功。"));
    close();
}

void TForm_lb::closeEvent(QCloseEvent* event) {
    // Unsaved changes are not dropped without a word: save, drop, or stay.
    if (!m_view->mayClose([this] { return save(); })) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
