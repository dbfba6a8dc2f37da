#include "app/archivesview.h"

#include "app/exchange.h"
#include "app/filesave.h"
#include "app/tform1.h"
#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "files/exportfile.h"
#include "ui/archivegrids.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform12.h"
#include "ui/tform13.h"
#include "ui/tform15.h"
#include "ui/tform9.h"

#include <QAction>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

ArchivesView* ArchivesView::install(TForm1& form) {
    return new ArchivesView(form);
}

ArchivesView::ArchivesView(TForm1& form)
    : QObject(&form), m_form(form), m_form10(std::make_unique<TForm10>()),
      m_form12(std::make_unique<TForm12>()), m_form13(std::make_unique<TForm13>()) {
    setObjectName(QStringLiteral("ArchivesView"));
    now = [] { return QDateTime::currentDateTime(); };
    if (form.Form9) m_form10->setErrorDialog(form.Form9);

    form.ArchiveRangeDialog = [this] { return m_form10->exec() == 1; };
    form.setGroupReader(TForm1::GroupArchives, [this] { ReadArchives(); });
    form.setGroupReader(TForm1::GroupJournals, [this] { ReadJournals(); });
    // Run after the menu has closed, never from inside its mouse event.
    connect(form.MenuSaveArchive, &QAction::triggered, this, &ArchivesView::MenuSaveArchiveClick,
            Qt::QueuedConnection);
}

ArchivesView::~ArchivesView() = default;

int ArchivesView::channel() const {
    return m_form.FirstChannel->isChecked() ? 0 : 1;
}

void ArchivesView::ReadArchives() {
    m_form.Timer1->stop();
    DisabledWindow disabled(&m_form);
    m_form12->start();
    archives::ArchiveReading reading = archives::readArchive(
        archives::Kind(m_form.ArchiveNumber), m_form10->range(), channel(), now(),
        [this](const archives::Request& r) { return m_form.exchange().readArchive(r); },
        [this](int done, int planned) { m_form12->setProgress(done, planned); });
    StringGrid& grid = *m_form.StringGridArchives;
    showReading(grid, reading);
    m_form12->hide();
    if (!reading.linkFailed()) TForm1::setMenuEnabled(m_form.MenuChoiceChannel, true);
    m_lastArchive = ShownArchive{std::move(reading), m_form.StatusBar2->text(0), m_form.StatusBar2->text(2)};
    emit archiveRead();
}

void ArchivesView::ReadJournals() {
    m_form.Timer1->stop();
    DisabledWindow disabled(&m_form);
    m_form13->start();
    const archives::Reading reading = archives::readJournal(
        m_form.ArchiveNumber, m_form.TwoChannelMode,
        [this](const archives::Request& r) { return m_form.exchange().readArchive(r); },
        [this](int done, int planned) { m_form13->setProgress(done, planned); });
    showReading(*m_form.StringGridJournals, reading);
    m_form13->hide();
}

void ArchivesView::MenuSaveArchiveClick() {
    TForm1::HandlerScope scope(m_form);
    // The rows were read from the meter chosen now; one that no longer answers still gets its rows
    // saved, without a number, in the working directory.
    const QString number = filesave::readElectronicNumber(m_form).value_or(QString());
    const std::optional<QString> path = filesave::choosePath(
        number, exportfile::defaultName(m_form.ArchiveNumber, m_form.FirstChannel->isChecked()));
    if (path) {
        const StringGrid& grid =
            m_form.Archives->isChecked() ? *m_form.StringGridArchives : *m_form.StringGridJournals;
        const exportfile::Heading heading{.deviceCaption = m_form.StatusBar2->text(0),
                                          .electronicNumber = number,
                                          .archiveNumber = m_form.ArchiveNumber,
                                          .channelCaption = m_form.StatusBar2->text(2)};
        filesave::write(m_form, {{*path, exportfile::contents(heading, grid.rows())}});
    }
    m_form.LinkIdle = true;
}

void ArchivesView::takeScreenshots(const std::function<void(QWidget*, const QString&)>& save) {
    const auto shoot = [&save](QWidget* window, const QString& name) {
        window->show();
        save(window, name);
        window->hide();
    };
    // The last twenty hours, typed as the operator would.
    const QDateTime to = now();
    m_form10->RadioButtonChoice->click();
    m_form10->EditDateStart->setText(to.addSecs(-20 * 3600).toString(QStringLiteral("dd.MM.yyyy hh:00")));
    m_form10->EditDateEnd->setText(to.toString(QStringLiteral("dd.MM.yyyy hh:mm")));
    shoot(m_form10.get(), QStringLiteral("archive-range-dialog.png"));

    // The tour cannot answer a modal dialog: the range is taken as typed.
    const std::function<bool()> rangeDialog = m_form.ArchiveRangeDialog;
    m_form.ArchiveRangeDialog = [this] {
        m_form10->ButtonOkRangeArchiveClick();
        return m_form10->result() == 1;
    };
    m_form.MenuTypeParamClick(m_form.Hour);
    save(&m_form, QStringLiteral("archive-hour.png"));

    m_form10->RadioButtonFull->click();
    m_form.MenuTypeParamClick(m_form.Day);
    // Scrolled to the first day the meter did not record.
    StringGrid& days = *m_form.StringGridArchives;
    for (int row = 2; row < days.rowCount(); ++row) {
        const QDate before = QDate::fromString(days.cell(0, row - 1).trimmed(), QStringLiteral("dd.MM.yyyy"));
        const QDate date = QDate::fromString(days.cell(0, row).trimmed(), QStringLiteral("dd.MM.yyyy"));
        if (before.isValid() && date.isValid() && before.daysTo(date) > 1) {
            days.scrollToItem(days.item(row, 0), QAbstractItemView::PositionAtCenter);
            break;
        }
    }
    save(&m_form, QStringLiteral("archive-day-gap.png"));
    m_form.ArchiveRangeDialog = rangeDialog;

    m_form.MenuTypeParamClick(m_form.Fault);
    save(&m_form, QStringLiteral("journal-faults.png"));

    m_form12->start();
    m_form12->setProgress(30, 85);
    save(m_form12.get(), QStringLiteral("archive-reading-dialog.png"));
    m_form12->hide();
    m_form.Form15->prepareFinished();
    shoot(m_form.Form15, QStringLiteral("saving-dialog.png"));
}
