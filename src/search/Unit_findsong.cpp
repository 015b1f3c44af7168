#include "search/Unit_findsong.h"

#include "base/FolderDialog.h"
#include "base/MessageService.h"
#include "base/Services.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

// A magnifying glass circling over a page while a search runs; still otherwise.
class SearchAnimation : public QWidget {
public:
    explicit SearchAnimation(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this)) {
        setFixedSize(48, 40);
        m_timer->setInterval(70);
        connect(m_timer, &QTimer::timeout, this, [this] {
            m_frame = (m_frame + 1) % frames;
            update();
        });
    }
    void start() { m_timer->start(); }
    void stop() {
        m_timer->stop();
        m_frame = stopFrame;
        update();
    }
    bool running() const { return m_timer->isActive(); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF page(6, 3, 24, 32);
        p.setPen(QPen(palette().color(QPalette::Mid), 1));
        p.setBrush(palette().color(QPalette::Base));
        p.drawRect(page);
        p.setPen(QPen(palette().color(QPalette::Mid), 1.5));
        for (int line = 0; line < 5; ++line)
            p.drawLine(QPointF(page.left() + 4, page.top() + 6 + line * 5),
                       QPointF(page.right() - 4, page.top() + 6 + line * 5));
        const double angle = 2 * M_PI * m_frame / frames;
        const QPointF lens(24 + 7 * std::cos(angle), 17 + 6 * std::sin(angle));
        p.setPen(QPen(QColor(90, 70, 40), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(lens + QPointF(6, 6), lens + QPointF(13, 13));
        p.setPen(QPen(QColor(60, 60, 70), 2));
        p.setBrush(QColor(170, 210, 255, 140));
        p.drawEllipse(lens, 7, 7);
    }

private:
    static constexpr int frames = 24;
    static constexpr int stopFrame = 23;
    QTimer* m_timer;
    int m_frame = stopFrame;
};

QPointer<TForm_findsong> TForm_findsong::s_newest;
TForm_findsong::PlaylistSink TForm_findsong::s_playlistSink;

TForm_findsong::TForm_findsong(QWidget* owner)
    : QWidget(owner, Qt::Window), m_rows(new FoundFilesModel(this)), m_showTimer(new QTimer(this)) {
    setObjectName(QStringLiteral("Form_findsong"));
    setWindowTitle(tr("搜索歌曲"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    resize(544, 465);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    Label1 = named(new QLabel(tr("歌名:"), this), "Label1");
    Filename = named(new QLineEdit(this), "Filename");
    Label3 = named(new QLabel(tr("文件类型:"), this), "Label3");
    type1 = named(new QCheckBox(tr("MP3"), this), "type1");
    type2 = named(new QCheckBox(tr("WMA"), this), "type2");
    type1->setChecked(true);
    type2->setChecked(true);
    Label2 = named(new QLabel(tr("搜索范围："), this), "Label2");
    Location = named(new QLineEdit(SongSearch::defaultRange(), this), "Location");
    Location->setToolTip(tr("用分号分隔多个文件夹"));
    BrowseButton = named(new QPushButton(tr("浏览..."), this), "BrowseButton");
    Subfolders = named(new QCheckBox(tr("包括子文件夹"), this), "Subfolders");
    Subfolders->setChecked(true);
    FindButton = named(new QPushButton(tr("搜索"), this), "FindButton");
    FindButton->setDefault(true);
    StopButton = named(new QPushButton(tr("停止"), this), "StopButton");
    StopButton->setEnabled(false);
    Animate = named(new SearchAnimation(this), "Animate");
    Threaded = named(new QCheckBox(QStringLiteral("Threaded Search"), this), "Threaded");
    Threaded->setChecked(true);
    Threaded->setVisible(false);
    Label1->setBuddy(Filename);
    Label2->setBuddy(Location);

    // A table, not a tree: it lays out a hundred thousand rows without
    // walking them all on every batch.
    FoundFiles = named(new QTableView(this), "FoundFiles");
    FoundFiles->setModel(m_rows);
    FoundFiles->setShowGrid(false);
    FoundFiles->setWordWrap(false);
    FoundFiles->setTabKeyNavigation(false);
    FoundFiles->verticalHeader()->hide();
    FoundFiles->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FoundFiles->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    FoundFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
    FoundFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    FoundFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FoundFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* header = FoundFiles->horizontalHeader();
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(FoundFilesModel::FolderColumn, QHeaderView::Stretch);
    header->resizeSection(FoundFilesModel::NameColumn, 130);
    header->resizeSection(FoundFilesModel::SizeColumn, 60);
    // Wide enough for a time in this system's date format.
    const QString sampleTime =
        SongSearch::timeText(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58)));
    header->resizeSection(FoundFilesModel::TimeColumn,
                          std::max(120, fontMetrics().horizontalAdvance(sampleTime) + 12));

    StatusBar = named(new QStatusBar(this), "StatusBar");
    m_status = new QLabel(StatusBar);
    m_status->setMinimumWidth(1); // a long folder path must not widen the window
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusBar->addWidget(m_status, 1);

    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    N1 = named(PopupMenu1->addAction(tr("添加到播放列表")), "N1");
    N2 = named(PopupMenu1->addAction(tr("打开文件")), "N2");
    N3 = named(PopupMenu1->addAction(tr("打开所在文件夹")), "N3");

    auto* fields = new QGridLayout;
    fields->addWidget(Label1, 0, 0);
    fields->addWidget(Filename, 0, 1);
    fields->addWidget(FindButton, 0, 2);
    auto* types = new QHBoxLayout;
    types->addWidget(type1);
    types->addWidget(type2);
    types->addStretch(1);
    fields->addWidget(Label3, 1, 0);
    fields->addLayout(types, 1, 1);
    fields->addWidget(StopButton, 1, 2);
    fields->addWidget(Label2, 2, 0);
    fields->addWidget(Location, 2, 1);
    fields->addWidget(BrowseButton, 2, 2);
    fields->addWidget(Subfolders, 3, 1);
    fields->addWidget(Animate, 3, 2, Qt::AlignRight);
    fields->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addLayout(fields);
    layout->addWidget(FoundFiles, 1);
    layout->addWidget(StatusBar);

    connect(FindButton, &QPushButton::clicked, this, &TForm_findsong::FindButtonClick);
    connect(StopButton, &QPushButton::clicked, this, &TForm_findsong::StopButtonClick);
    connect(BrowseButton, &QPushButton::clicked, this, &TForm_findsong::BrowseButtonClick);
    connect(Filename, &QLineEdit::returnPressed, FindButton, &QPushButton::click);
    connect(Location, &QLineEdit::returnPressed, FindButton, &QPushButton::click);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, StopButton,
            &QPushButton::click); // does nothing while the button is disabled
    connect(header, &QHeaderView::sectionClicked, this, &TForm_findsong::FoundFilesColumnClick);
    connect(FoundFiles, &QWidget::customContextMenuRequested, this, &TForm_findsong::showPopup);
    connect(N1, &QAction::triggered, this, &TForm_findsong::N1Click);
    connect(N2, &QAction::triggered, this, &TForm_findsong::N2Click);
    connect(N3, &QAction::triggered, this, &TForm_findsong::N3Click);

    FindFile = new TFindFile(this);
    FindFile->setObjectName(QStringLiteral("FindFile"));
    FindFile->setThreadPriority(QThread::LowPriority); // the window and the schedule go first
    FindFile->OnSearchBegin = [this](TFindFile*) { FindFileSearchBegin(); };
    FindFile->OnSearchAbort = [this](TFindFile*) { FindFileSearchAbort(); };
    FindFile->OnSearchFinish = [this](TFindFile*) { FindFileSearchFinish(); };
    FindFile->OnFolderChange = [this](TFindFile*, const QString& folder, TFolderIgnore&) {
        FindFileFolderChange(folder);
    };
    FindFile->OnFileMatch = [this](TFindFile*, const QString& folder, const FoundFileRecord& info) {
        FindFileFileMatch(folder, info);
    };
    m_showTimer->setInterval(100);
    connect(m_showTimer, &QTimer::timeout, this, &TForm_findsong::showFound);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TForm_findsong::~TForm_findsong() {
    // The engine stops its worker before the rows it fills go away.
    delete FindFile;
}

TForm_findsong* TForm_findsong::open() {
    auto* window = new TForm_findsong;
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(qApp, &QCoreApplication::aboutToQuit, window, [window] { delete window; });
    s_newest = window;
    window->show();
    return window;
}

TForm_findsong* TForm_findsong::newest() {
    return s_newest.data();
}

void TForm_findsong::setPlaylistSink(PlaylistSink sink) {
    s_playlistSink = std::move(sink);
}

QString TForm_findsong::statusText() const {
    return m_status->text();
}

bool TForm_findsong::animating() const {
    return Animate->running();
}

QString TForm_findsong::selectedPath() const {
    const QModelIndexList selected = FoundFiles->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return QString();
    return m_rows->row(selected.constFirst().row()).path();
}

void TForm_findsong::setStatus(const QString& text) {
    m_status->setText(text);
}

// --- searching ----------------------------------------------------------------

void TForm_findsong::FindButtonClick() {
    if (!FindButton->isEnabled())
        return;
    FindFile->setThreaded(Threaded->isChecked());
    TFileCriteria& files = FindFile->Criteria().Files;
    files.FileName = SongSearch::masksFor(Filename->text(), type1->isChecked(), type2->isChecked());
    files.Location = Location->text();
    files.Subfolders = Subfolders->isChecked();
    FindFile->StartSearch();
}

void TForm_findsong::StopButtonClick() {
    FindFile->AbortSearch();
}

void TForm_findsong::FindFileSearchBegin() {
    m_sortColumn = -1;
    FoundFiles->horizontalHeader()->setSortIndicatorShown(false);
    m_rows->clear();
    {
        QMutexLocker lock(&m_foundMutex);
        m_found.clear();
        m_currentFolder.clear();
    }
    FindButton->setEnabled(false);
    StopButton->setEnabled(true);
    Threaded->setEnabled(false);
    Animate->start();
    m_folderCount = 0;
    m_cancelling = false;
    m_startTick.start();
    m_lastPump.start();
    m_showTimer->start();
}

void TForm_findsong::FindFileFolderChange(const QString& folder) {
    ++m_folderCount;
    {
        QMutexLocker lock(&m_foundMutex);
        m_currentFolder = folder;
    }
    if (!FindFile->Threaded() && m_lastPump.elapsed() >= 50) {
        m_lastPump.restart();
        showFound();
        QCoreApplication::processEvents();
    }
}

void TForm_findsong::FindFileFileMatch(const QString& folder, const FoundFileRecord& info) {
    FoundFileRow row = FoundFileRow::from(folder, info); // formatted on the worker
    {
        QMutexLocker lock(&m_foundMutex);
        m_found.push_back(std::move(row));
    }
    if (!FindFile->Threaded() && m_lastPump.elapsed() >= 50) {
        m_lastPump.restart();
        showFound();
        QCoreApplication::processEvents();
    }
}

void TForm_findsong::showFound() {
    std::vector<FoundFileRow> rows;
    QString folder;
    {
        QMutexLocker lock(&m_foundMutex);
        rows.swap(m_found);
        folder.swap(m_currentFolder);
    }
    m_rows->append(std::move(rows));
    if (!folder.isEmpty() && !m_cancelling)
        setStatus(folder);
}

void TForm_findsong::FindFileSearchAbort() {
    m_cancelling = true;
    setStatus(SongSearch::cancellingText());
    repaint();
}

void TForm_findsong::FindFileSearchFinish() {
    m_showTimer->stop();
    m_cancelling = true; // the summary replaces the folder texts
    showFound();
    const double seconds = double(m_startTick.elapsed()) / 1000.0;
    setStatus(SongSearch::summaryText(m_folderCount, m_rows->rowCount(), seconds,
                                      FindFile->AbortRequested()));
    Animate->stop();
    Threaded->setEnabled(true);
    const bool stopHadFocus = StopButton->hasFocus();
    StopButton->setEnabled(false);
    FindButton->setEnabled(true);
    if (stopHadFocus)
        FindButton->setFocus();
}

void TForm_findsong::closeEvent(QCloseEvent* event) {
    if (FindFile->Searching())
        FindFile->AbortSearch();
    event->accept();
}

// --- the folder browser, sorting and the popup menu ----------------------------

void TForm_findsong::BrowseButtonClick() {
    const QString folder = SelectFolderDialog(this, tr("请选择文件夹:"));
    if (!folder.isEmpty())
        Location->setText(folder);
}

void TForm_findsong::FoundFilesColumnClick(int column) {
    QHeaderView* header = FoundFiles->horizontalHeader();
    if (FindFile->Searching()) {
        // The indicator stays where it was.
        if (m_sortColumn >= 0)
            header->setSortIndicator(m_sortColumn,
                                     m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
        msg::service().show(tr("搜索正在进行时,不能对文件排序."), tr("提示"),
                            MessageService::Icon::Warning);
        return;
    }
    if (column == m_sortColumn) {
        m_sortDescending = !m_sortDescending;
    } else {
        m_sortColumn = column;
        m_sortDescending = false;
    }
    m_rows->sortRows(m_sortColumn, m_sortDescending);
    header->setSortIndicator(m_sortColumn,
                             m_sortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
    header->setSortIndicatorShown(true);
}

void TForm_findsong::showPopup(const QPoint& at) {
    const bool onRow = FoundFiles->indexAt(at).isValid();
    if (onRow)
        FoundFiles->setCurrentIndex(FoundFiles->indexAt(at));
    const bool selected = onRow && !selectedPath().isEmpty();
    for (QAction* action : {N1, N2, N3})
        action->setEnabled(selected);
    PopupMenu1->popup(FoundFiles->viewport()->mapToGlobal(at));
}

void TForm_findsong::N1Click() {
    const QString path = selectedPath();
    if (path.isEmpty())
        return;
    if (!s_playlistSink) {
        msg::notice(tr("音乐播放器没有打开，不能添加歌曲。"));
        return;
    }
    s_playlistSink(path);
}

void TForm_findsong::N2Click() {
    const QString path = selectedPath();
    if (!path.isEmpty() && Services::fileManager())
        Services::fileManager()->openFile(path);
}

void TForm_findsong::N3Click() {
    const QString path = selectedPath();
    if (!path.isEmpty() && Services::fileManager())
        Services::fileManager()->showItem(path);
}
