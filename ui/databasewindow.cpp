#include "ui/databasewindow.h"

#include "ui/archivegrids.h"
#include "ui/stringgrid.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* button(const QString& name, const QString& text) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    return b;
}

// A digit typed where the cursor stands replaces that part of the date, as typing over a selection
// does: QDateEdit drops a digit typed into a part already full, so 06.10.2026 typed with the cursor
// before the day silently stayed 01.10.2026. Digits typed one after another still fill one part.
class DateField : public QDateEdit {
  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const QString typed = event->text();
        const bool advanced = m_advanced;
        m_advanced = false;
        if (typed == QLatin1String(".")) {
            // Closes the part typed; after a full part the cursor has moved on already.
            m_typedUpTo = -1;
            if (!advanced && currentSectionIndex() + 1 < sectionCount()) {
                setCurrentSectionIndex(currentSectionIndex() + 1);
                setSelectedSection(currentSection());
            }
            return;
        }
        if (typed.size() != 1 || !typed[0].isDigit()) {
            m_typedUpTo = -1;
            QDateEdit::keyPressEvent(event);
            return;
        }
        const Section section = currentSection();
        const bool goingOn = section == m_typedIn && lineEdit()->cursorPosition() == m_typedUpTo;
        if (!goingOn && !lineEdit()->hasSelectedText()) setSelectedSection(section);
        QDateEdit::keyPressEvent(event);
        // A full part moves the cursor on to the next one, which the next digit then replaces.
        m_typedIn = currentSection();
        m_advanced = m_typedIn != section;
        m_typedUpTo = m_advanced ? -1 : lineEdit()->cursorPosition();
    }
    void focusInEvent(QFocusEvent* event) override {
        m_typedUpTo = -1;
        m_advanced = false;
        QDateEdit::focusInEvent(event);
    }

  private:
    Section m_typedIn = NoSection;
    int m_typedUpTo = -1;
    bool m_advanced = false;
};

QDateEdit* dateEdit(const QString& name) {
    auto* d = new DateField;
    d->setObjectName(name);
    d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    d->setCalendarPopup(true);
    return d;
}

} // namespace

DatabaseWindow::DatabaseWindow() {
    setObjectName(QStringLiteral("DatabaseWindow"));
    setWindowTitle(QStringLiteral("Архивы в базе"));
    resize(720, 700);

    EditDatabase = new QLineEdit;
    EditDatabase->setObjectName(QStringLiteral("EditDatabase"));
    EditDatabase->setPlaceholderText(QStringLiteral("kastari.db или postgresql://пользователь@сервер/база"));
    ButtonOpenDatabase = button(QStringLiteral("ButtonOpenDatabase"), QStringLiteral("Открыть"));
    ButtonCollect = button(QStringLiteral("ButtonCollect"), QStringLiteral("Дополнить базу"));
    ButtonCollect->setToolTip(
        QStringLiteral("Прочитать в базу новое из архивов и журналов прибора, выбранного в главном окне"));
    auto* databaseRow = new QHBoxLayout;
    databaseRow->addWidget(new QLabel(QStringLiteral("База данных:")));
    databaseRow->addWidget(EditDatabase, 1);
    databaseRow->addWidget(ButtonOpenDatabase);
    databaseRow->addWidget(ButtonCollect);

    TableMeters = new QTableWidget(0, 8);
    TableMeters->setObjectName(QStringLiteral("TableMeters"));
    // The state beside the name, where the operator looks first, before the long line names.
    TableMeters->setHorizontalHeaderLabels({QStringLiteral("Номер"), QStringLiteral("Наименование"),
                                            QStringLiteral("Состояние"), QStringLiteral("Линия"),
                                            QStringLiteral("Адрес"), QStringLiteral("Последний сбор"),
                                            QStringLiteral("Итог"), QStringLiteral("Пропусков")});
    TableMeters->verticalHeader()->hide();
    TableMeters->setSelectionBehavior(QAbstractItemView::SelectRows);
    TableMeters->setSelectionMode(QAbstractItemView::SingleSelection);
    TableMeters->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TableMeters->horizontalHeader()->setStretchLastSection(true);
    TableMeters->setMaximumHeight(170);

    ComboArchive = new QComboBox;
    ComboArchive->setObjectName(QStringLiteral("ComboArchive"));
    ComboArchive->addItems({QStringLiteral("Часовой архив"), QStringLiteral("Суточный архив"),
                            QStringLiteral("Месячный архив"), QStringLiteral("Журнал отказов"),
                            QStringLiteral("Журнал оператора"), QStringLiteral("Журнал нештатных ситуаций")});
    ComboArchive->setCurrentIndex(1);
    ComboChannel = new QComboBox;
    ComboChannel->setObjectName(QStringLiteral("ComboChannel"));
    ComboChannel->addItems({QStringLiteral("1 - й канал"), QStringLiteral("2 - й канал")});
    DateFrom = dateEdit(QStringLiteral("DateFrom"));
    DateTo = dateEdit(QStringLiteral("DateTo"));
    ButtonShow = button(QStringLiteral("ButtonShow"), QStringLiteral("Показать"));
    auto* choiceRow = new QHBoxLayout;
    choiceRow->addWidget(ComboArchive);
    choiceRow->addWidget(ComboChannel);
    choiceRow->addWidget(new QLabel(QStringLiteral("с")));
    choiceRow->addWidget(DateFrom);
    choiceRow->addWidget(new QLabel(QStringLiteral("по")));
    choiceRow->addWidget(DateTo);
    choiceRow->addStretch();
    choiceRow->addWidget(ButtonShow);

    StringGridArchives = makeArchiveGrid(nullptr);
    StringGridJournals = makeJournalGrid(nullptr);
    StringGridJournals->hide();

    LabelStatus = new QLabel;
    LabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    // A long message is cut, never a reason for the window to outgrow the screen; all of it is in
    // the tooltip, a server's own words behind "Подробнее".
    LabelStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    ButtonDetails = button(QStringLiteral("ButtonDetails"), QStringLiteral("Подробнее"));
    ButtonDetails->setCheckable(true);
    ButtonDetails->hide();
    TextDetails = new QPlainTextEdit;
    TextDetails->setObjectName(QStringLiteral("TextDetails"));
    TextDetails->setReadOnly(true);
    TextDetails->setMaximumHeight(80);
    TextDetails->hide();
    ButtonStop = button(QStringLiteral("ButtonStop"), QStringLiteral("Стоп"));
    ButtonStop->setToolTip(QStringLiteral("Не ждать ответа базы данных"));
    ButtonStop->setCursor(Qt::ArrowCursor);
    ButtonStop->hide();
    ButtonSaveArchive = button(QStringLiteral("ButtonSaveArchive"), QStringLiteral("Сохранить архив..."));
    ButtonChart = button(QStringLiteral("ButtonChart"), QStringLiteral("Диаграмма архива"));
    ButtonReport = button(QStringLiteral("ButtonReport"), QStringLiteral("Отчёт о потреблении"));
    auto* actionRow = new QHBoxLayout;
    actionRow->addWidget(LabelStatus, 1);
    actionRow->addWidget(ButtonDetails);
    actionRow->addWidget(ButtonStop);
    actionRow->addWidget(ButtonSaveArchive);
    actionRow->addWidget(ButtonChart);
    actionRow->addWidget(ButtonReport);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(databaseRow);
    layout->addWidget(TableMeters);
    layout->addLayout(choiceRow);
    layout->addWidget(StringGridArchives, 1);
    layout->addWidget(StringGridJournals, 1);
    layout->addLayout(actionRow);
    layout->addWidget(TextDetails);

    connect(ButtonOpenDatabase, &QPushButton::clicked, this, &DatabaseWindow::openRequested);
    connect(EditDatabase, &QLineEdit::returnPressed, this, &DatabaseWindow::openRequested);
    connect(TableMeters, &QTableWidget::itemSelectionChanged, this, &DatabaseWindow::meterChosen);
    connect(ButtonShow, &QPushButton::clicked, this, &DatabaseWindow::showRequested);
    connect(ButtonStop, &QPushButton::clicked, this, &DatabaseWindow::stopRequested);
    connect(ButtonDetails, &QPushButton::toggled, TextDetails, &QWidget::setVisible);
}

void DatabaseWindow::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel)) {
        close();
        return;
    }
    FloatingWindow::keyPressEvent(event);
}

void DatabaseWindow::setMeters(const QList<MeterRow>& meters, const QString& keep) {
    TableMeters->setRowCount(int(meters.size()));
    for (int r = 0; r < meters.size(); ++r) {
        const MeterRow& m = meters[r];
        const QString cells[] = {m.number,  m.name,          m.state,   m.line,
                                 m.address, m.lastCollected, m.outcome, m.gaps};
        for (int c = 0; c < int(std::size(cells)); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            // Its archives are stored under its number, so a meter that never gave one has none.
            if (m.number.isEmpty()) item->setFlags(Qt::NoItemFlags);
            TableMeters->setItem(r, c, item);
        }
        TableMeters->item(r, 2)->setToolTip(m.reasons);
    }
    TableMeters->resizeColumnsToContents();
    int chosen = -1;
    for (int r = 0; r < meters.size(); ++r)
        if (!meters[r].number.isEmpty() && (chosen < 0 || meters[r].number == keep)) chosen = r;
    if (chosen >= 0) TableMeters->selectRow(chosen);
}

QString DatabaseWindow::chosenMeter() const {
    const int row = TableMeters->currentRow();
    const QTableWidgetItem* item = row >= 0 ? TableMeters->item(row, 0) : nullptr;
    return item ? item->text() : QString();
}

int DatabaseWindow::chosenArchive() const {
    return ComboArchive->currentIndex();
}

int DatabaseWindow::chosenChannel() const {
    return ComboChannel->currentIndex();
}

void DatabaseWindow::showGrid(bool archive) {
    StringGridArchives->setVisible(archive);
    StringGridJournals->setVisible(!archive);
}

void DatabaseWindow::setStatus(const QString& text, const QString& details) {
    LabelStatus->setText(text);
    LabelStatus->setToolTip(text);
    TextDetails->setPlainText(details);
    ButtonDetails->setChecked(false);
    ButtonDetails->setVisible(!details.isEmpty());
}

void DatabaseWindow::setWaiting(bool waiting) {
    if (waiting)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    ButtonStop->setVisible(waiting);
}
