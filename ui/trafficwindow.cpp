#include "ui/trafficwindow.h"

#include "archives/trafficdecode.h"
#include "files/textfile.h"
#include "link/trafficrecorder.h"
#include "ui/trafficmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
// Often enough to look live, seldom enough that a scan's burst of frames is drawn in a few batches.
constexpr int RefreshMs = 100;

// Short titles, so that every column fits beside the decoding; the whole name is the tooltip.
struct CounterTitle {
    const char* title;
    const char* tip;
};
const CounterTitle CounterTitles[] = {
    {"Адрес", "Адрес прибора"},
    {"Запросы", "Запросы"},
    {"Ответы", "Правильные ответы"},
    {"Нет ответа", "Запросы без ответа"},
    {"CRC", "Ответы с ошибкой CRC"},
    {"Искл.", "Исключения (ответы с кодом ошибки)"},
    {"Прочие", "Прочие ошибки: чужой адрес, функция, длина или подтверждение, переполнение, помехи"},
    {"Ср., мс", "Среднее время ответа, мс"},
    {"Макс., мс", "Наибольшее время ответа, мс"},
};
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

    TableCounters = new QTableWidget(0, int(std::size(CounterTitles)), this);
    TableCounters->setObjectName(QStringLiteral("TableCounters"));
    for (int c = 0; c < int(std::size(CounterTitles)); ++c) {
        auto* header = new QTableWidgetItem(QString::fromUtf8(CounterTitles[c].title));
        header->setToolTip(QString::fromUtf8(CounterTitles[c].tip));
        TableCounters->setHorizontalHeaderItem(c, header);
    }
    TableCounters->verticalHeader()->hide();
    TableCounters->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableCounters->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TableCounters->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TableCounters->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);

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
    connect(ButtonClear, &QPushButton::clicked, this, [this] {
        m_recorder.clear();
        m_model->reload();
        MemoDecode->clear();
        showCounters();
    });
    connect(ButtonSave, &QPushButton::clicked, this, &TrafficWindow::ButtonSaveClick);
    connect(TableTraffic->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TrafficWindow::showDecoding);

    askFileName = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить журнал обмена"), suggested,
                                            QStringLiteral("CSV (*.csv)"));
    };
    // Its own box, not the main window's: that one is disabled while an exchange runs.
    reportError = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Ошибка"), text); };
}

void TrafficWindow::showEvent(QShowEvent* event) {
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
    if (m_countedUpTo != m_recorder.nextNumber()) {
        m_countedUpTo = m_recorder.nextNumber();
        showCounters();
    }
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
    for (const auto& [address, counters] : m_recorder.counters())
        ComboAddress->addItem(QString::number(address), address);
    const int at = ComboAddress->findData(chosen);
    ComboAddress->setCurrentIndex(at >= 0 ? at : 0);
}

void TrafficWindow::showCounters() {
    const auto& all = m_recorder.counters();
    if (ComboAddress->count() != int(all.size()) + 1) fillAddressList();
    TableCounters->setRowCount(int(all.size()));
    int row = 0;
    for (const auto& [address, c] : all) {
        const auto ms = [](double v) { return v < 0 ? QString() : QString::number(v, 'f', 0); };
        const QString cells[] = {QString::number(address),
                                 QString::number(c.requests),
                                 QString::number(c.good),
                                 QString::number(c.noReply),
                                 QString::number(c.crcErrors),
                                 QString::number(c.exceptions),
                                 QString::number(c.otherErrors),
                                 ms(c.meanMs()),
                                 ms(c.worstMs)};
        for (int col = 0; col < int(std::size(cells)); ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            TableCounters->setItem(row, col, item);
        }
        ++row;
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
    const QString suggested =
        QStringLiteral("обмен-%1.csv")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    const QString path = askFileName ? askFileName(suggested) : QString();
    if (!path.isEmpty()) saveTo(path);
}
