#include "ui/trafficwindow.h"

#include "archives/trafficdecode.h"
#include "files/textfile.h"
#include "link/trafficrecorder.h"
#include "ui/filedialog.h"
#include "ui/fixeddialog.h"
#include "ui/trafficcountersmodel.h"
#include "ui/trafficmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Often enough to look live, seldom enough that a scan's burst of frames is drawn in a few batches.
constexpr int RefreshMs = 100;
} // namespace

TrafficWindow::TrafficWindow(TrafficRecorder& recorder, QWidget* parent)
    : QWidget(parent), m_recorder(recorder) {
    setObjectName(QStringLiteral("TrafficMonitor"));
    setWindowTitle(QStringLiteral("Монитор обмена"));
    setWindowFlag(Qt::Window);
    resize(960, 640);

    m_model = new TrafficModel(recorder, this);

    CheckPause = new QCheckBox(QStringLiteral("Пауза"), this);
    CheckPause->setObjectName(QStringLiteral("CheckPause"));
    CheckAutoScroll = new QCheckBox(QStringLiteral("Автопрокрутка"), this);
    CheckAutoScroll->setObjectName(QStringLiteral("CheckAutoScroll"));
    CheckAutoScroll->setChecked(true);
    ComboAddress = new QComboBox(this);
    ComboAddress->setObjectName(QStringLiteral("ComboAddress"));
    ComboAddress->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ButtonClear = new QPushButton(QStringLiteral("Очистить"), this);
    ButtonClear->setObjectName(QStringLiteral("ButtonClear"));
    ButtonSave = new QPushButton(QStringLiteral("Сохранить"), this);
    ButtonSave->setObjectName(QStringLiteral("ButtonSave"));
    LabelTotal = new QLabel(this);
    LabelTotal->setObjectName(QStringLiteral("LabelTotal"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(CheckPause);
    bar->addWidget(CheckAutoScroll);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(QStringLiteral("Адрес:"), this));
    bar->addWidget(ComboAddress);
    bar->addSpacing(16);
    bar->addWidget(LabelTotal);
    bar->addStretch();
    bar->addWidget(ButtonClear);
    bar->addWidget(ButtonSave);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    TableTraffic = new QTableView(this);
    TableTraffic->setObjectName(QStringLiteral("TableTraffic"));
    TableTraffic->setModel(m_model);
    TableTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableTraffic->setSelectionMode(QAbstractItemView::SingleSelection);
    TableTraffic->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableTraffic->setWordWrap(false);
    TableTraffic->verticalHeader()->hide();
    TableTraffic->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TableTraffic->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    TableTraffic->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {90, 100, 50, 70, 420, 40};
    for (int c = 0; c < int(std::size(widths)); ++c)
        TableTraffic->setColumnWidth(c, widths[c]);

    MemoDecode = new QPlainTextEdit(this);
    MemoDecode->setObjectName(QStringLiteral("MemoDecode"));
    MemoDecode->setReadOnly(true);
    MemoDecode->setFont(fixed);
    MemoDecode->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoDecode->setPlaceholderText(QStringLiteral("Выберите кадр в таблице"));

    m_counters = new TrafficCountersModel(recorder, this);
    TableCounters = new QTableView(this);
    TableCounters->setObjectName(QStringLiteral("TableCounters"));
    TableCounters->setModel(m_counters);
    TableCounters->verticalHeader()->hide();
    TableCounters->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableCounters->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableCounters->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TableCounters->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    // Sized once for the widest count a column can reach, not to its contents at every look: that
    // measured every cell of every row ten times a second.
    const int widest = fontMetrics().horizontalAdvance(QStringLiteral("0000000"));
    for (int c = 0; c < TrafficCountersModel::ColumnCount; ++c) {
        const QString title = m_counters->headerData(c, Qt::Horizontal).toString();
        TableCounters->setColumnWidth(c, std::max(widest, fontMetrics().horizontalAdvance(title)) + 16);
    }

    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(MemoDecode);
    lower->addWidget(TableCounters);
    lower->setSizes({360, 600});
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(TableTraffic);
    split->addWidget(lower);
    split->setSizes({380, 220});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(split);

    fillAddressList();
    m_refresh = new QTimer(this);
    m_refresh->setInterval(RefreshMs);
    connect(m_refresh, &QTimer::timeout, this, &TrafficWindow::refresh);
    connect(CheckPause, &QCheckBox::toggled, this, [this](bool paused) {
        if (!paused) refresh();
    });
    connect(ComboAddress, &QComboBox::activated, this, [this] {
        m_model->setAddressFilter(ComboAddress->currentData().toInt());
        MemoDecode->clear();
        if (CheckAutoScroll->isChecked()) TableTraffic->scrollToBottom();
    });
    connect(m_counters, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { addAddresses(first, last); });
    connect(m_counters, &QAbstractItemModel::modelReset, this, &TrafficWindow::fillAddressList);
    connect(ButtonClear, &QPushButton::clicked, this, [this] {
        m_recorder.clear();
        m_model->reload();
        m_counters->reload();
        MemoDecode->clear();
    });
    connect(ButtonSave, &QPushButton::clicked, this, &TrafficWindow::ButtonSaveClick);
    connect(TableTraffic->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TrafficWindow::showDecoding);

    askFileName = [this](const QString& suggested) {
        FileDialog dialog(this, QStringLiteral("Сохранить журнал обмена"), QDir::currentPath(),
                          QStringLiteral("CSV (*.csv)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        dialog.selectFile(suggested);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };
    // Its own box, not the main window's: that one is disabled while an exchange runs.
    reportError = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Ошибка"), text); };
}

void TrafficWindow::showEvent(QShowEvent* event) {
    // Its first size suits a large screen; on a smaller one (or a scaled one) it is made to fit
    // once, title bar included, and then kept where and as large as the operator leaves it.
    if (!m_placed) fitOnScreen(this);
    m_placed = true;
    QWidget::showEvent(event);
    refresh();
    m_refresh->start();
}

void TrafficWindow::hideEvent(QHideEvent* event) {
    // Nobody looks: the recorder goes on alone, and the table catches up when shown again.
    m_refresh->stop();
    QWidget::hideEvent(event);
}

void TrafficWindow::refresh() {
    m_counters->pull();
    if (CheckPause->isChecked()) return;
    // The newest row stays in sight unless the reader turned auto-scroll off to study older ones.
    if (m_model->pull() && CheckAutoScroll->isChecked()) TableTraffic->scrollToBottom();
    LabelTotal->setText(QStringLiteral("Кадров: %1").arg(m_model->rowCount()));
}

void TrafficWindow::showDecoding() {
    const QModelIndex current = TableTraffic->currentIndex();
    if (!current.isValid()) {
        MemoDecode->clear();
        return;
    }
    MemoDecode->setPlainText(traffic::decode(m_model->entry(current.row())).join(u'\n'));
}

void TrafficWindow::fillAddressList() {
    const int chosen = ComboAddress->count() ? ComboAddress->currentData().toInt() : -1;
    ComboAddress->clear();
    ComboAddress->addItem(QStringLiteral("все"), -1);
    addAddresses(0, m_counters->rowCount() - 1);
    const int at = ComboAddress->findData(chosen);
    ComboAddress->setCurrentIndex(at >= 0 ? at : 0);
}

void TrafficWindow::addAddresses(int firstRow, int lastRow) {
    // The list follows the counters' rows, after its "все".
    for (int row = firstRow; row <= lastRow; ++row) {
        const int address = m_counters->address(row);
        ComboAddress->insertItem(row + 1, QString::number(address), address);
    }
}

bool TrafficWindow::saveTo(const QString& path) {
    QByteArray bytes = traffic::csvHeader();
    for (const TrafficEntry& e : m_model->rows())
        bytes += traffic::csvRow(e);
    // Written whole and renamed into place: a full disk never leaves half a log over an older one.
    QString reason;
    if (textfile::write(path, bytes, &reason)) return true;
    if (reportError)
        reportError(
            QStringLiteral("Не удалось записать файл %1: %2").arg(QDir::toNativeSeparators(path), reason));
    return false;
}

void TrafficWindow::ButtonSaveClick() {
    if (whenDialogMayOpen)
        whenDialogMayOpen([window = QPointer<TrafficWindow>(this)] {
            if (window) window->chooseFileAndSave();
        });
    else
        chooseFileAndSave();
}

void TrafficWindow::chooseFileAndSave() {
    const QString suggested =
        QStringLiteral("обмен-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    const QString path = askFileName ? askFileName(suggested) : QString();
    if (!path.isEmpty()) saveTo(path);
}
