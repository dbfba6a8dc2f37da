#include "app/archivesview.h"

#include "app/exchange.h"
#include "app/filesave.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "files/exportfile.h"
#include "ui/archivegrids.h"
#include "ui/confirmdialog.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform12.h"
#include "ui/tform13.h"
#include "ui/tform15.h"

#include <QAction>
#include <QEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>

namespace {

// Performs the reading's requests until the operator presses "Стоп" in its window; from then on
// each request fails without going out, so the reading ends as a lost link would end it.
archives::RequestFn stoppable(Exchange& link, const BusyWindow& window) {
    return [&link, &window](const archives::Request& request) -> std::optional<QByteArray> {
        if (window.stopRequested()) return std::nullopt;
        return link.readArchive(request);
    };
}

// "Чтение прервано: прочитано 3 из 10 периодов. Сохранить?"
QString stoppedQuestion(const archives::Reading& reading, bool archive) {
    return QStringLiteral("Чтение прервано: прочитано %1 из %2 %3. Сохранить?")
        .arg(reading.done)
        .arg(reading.planned)
        .arg(archive ? QStringLiteral("периодов") : QStringLiteral("записей"));
}

} // namespace

ArchivesView* ArchivesView::install(ViewHost& host) {
    return new ArchivesView(host);
}

ArchivesView::ArchivesView(ViewHost& host)
    : QObject(host.actionWindow()), m_host(host), m_form10(std::make_unique<TForm10>()),
      m_form12(std::make_unique<TForm12>()), m_form13(std::make_unique<TForm13>()) {
    setObjectName(QStringLiteral("ArchivesView"));
    now = [] { return QDateTime::currentDateTime(); };
    host.setArchiveRangeDialog(*m_form10);
    host.setGroupReader(ViewHost::GroupArchives, [this] { ReadArchives(); });
    host.setGroupReader(ViewHost::GroupJournals, [this] { ReadJournals(); });
    host.setArchiveSaveCheck([this] { return saveAllowed(); });
    // Run after the menu has closed, never from inside its mouse event.
    connect(host.fileCommand(ViewHost::FileCommand::SaveArchive), &QAction::triggered, this,
            &ArchivesView::MenuSaveArchiveClick, Qt::QueuedConnection);
    host.archiveGrid().installEventFilter(this);
}

ArchivesView::~ArchivesView() = default;

int ArchivesView::channel() const {
    return m_host.channel() - 1;
}

void ArchivesView::showLostPeriods(const QString& text) {
    m_host.showStatusNote(text);
}

bool ArchivesView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_host.archiveGrid() && event->type() == QEvent::Hide && !event->spontaneous())
        showLostPeriods({});
    return QObject::eventFilter(watched, event);
}

const archives::Reading* ArchivesView::shownReading() const {
    if (m_host.archiveChosen()) return m_lastArchive ? &m_lastArchive->reading : nullptr;
    return m_lastJournal ? &m_lastJournal->reading : nullptr;
}

bool ArchivesView::saveAllowed() const {
    const archives::Reading* reading = shownReading();
    return reading && reading->meter.choice == m_host.meterChoice() &&
           reading->meter.address == m_host.deviceAddress();
}

void ArchivesView::updateSaveItem() {
    m_host.fileCommand(ViewHost::FileCommand::SaveArchive)->setEnabled(saveAllowed());
}

void ArchivesView::ReadArchives() {
    showLostPeriods({});
    // Runs inside the group choice's action, which has stopped the poll and disabled the window.
    // Taken before the rows: whatever is made of them later names this meter.
    MeterIdentity meter = m_host.chosenMeter();
    meter.readAt = now();
    m_form12->start();
    archives::ArchiveReading reading =
        archives::readArchive(archives::Kind(m_host.archiveNumber()), m_form10->range(), channel(), now(),
                              stoppable(m_host.exchange(), *m_form12),
                              [this](int done, int planned) { m_form12->setProgress(done, planned); });
    reading.meter = meter;
    reading.stopped = m_form12->stopRequested() && reading.linkFailed();
    StringGrid& grid = m_host.archiveGrid();
    showReading(grid, reading);
    // Stopped by the operator, not by the link: what was read is shown.
    if (m_form12->stopRequested()) grid.show();
    if (reading.notRead() > 0 && !reading.linkFailed())
        showLostPeriods(QStringLiteral("Не прочитано периодов: %1 из %2 (в таблице: «%3»)")
                            .arg(reading.notRead())
                            .arg(reading.periods.size())
                            .arg(archives::NotReadText));
    m_form12->hide();
    if (!reading.linkFailed()) m_host.enableChannelChoice();
    m_lastArchive = ShownArchive{std::move(reading), m_host.deviceCaption(), m_host.channelCaption()};
    updateSaveItem();
    emit archiveRead();
}

void ArchivesView::ReadJournals() {
    MeterIdentity meter = m_host.chosenMeter();
    meter.readAt = now();
    m_form13->start();
    archives::Reading reading = archives::readJournal(
        m_host.archiveNumber(), m_host.twoChannelMode(), stoppable(m_host.exchange(), *m_form13),
        [this](int done, int planned) { m_form13->setProgress(done, planned); });
    reading.meter = meter;
    reading.stopped = m_form13->stopRequested() && reading.linkFailed();
    showReading(m_host.journalGrid(), reading);
    if (m_form13->stopRequested()) m_host.journalGrid().show();
    m_form13->hide();
    m_lastJournal = ShownJournal{std::move(reading), m_host.archiveNumber(), m_host.channelCaption()};
    updateSaveItem();
}

void ArchivesView::MenuSaveArchiveClick() {
    const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Opened});
    // The rows may be another meter's, read before this one was chosen: nothing to save then.
    if (!saveAllowed()) return;
    const bool archive = m_host.archiveChosen();
    // The file names what was read, from whom and for which channel, as it was when read; the
    // choices in the menus may have moved on since.
    const archives::Reading& reading = *shownReading();
    const int number = archive ? int(m_lastArchive->reading.kind) : m_lastJournal->archiveNumber;
    const bool firstChannel = archive ? m_lastArchive->reading.channel == 0 : number != 6;
    if (reading.stopped) {
        ConfirmDialog confirm(QStringLiteral("Сохранить архив"), stoppedQuestion(reading, archive));
        if (execModal(confirm) != QDialog::Accepted) return;
    }
    const std::optional<QString> path = filesave::choosePath(
        reading.meter.number, exportfile::defaultName(number, firstChannel), filesave::Saving::Archive);
    if (!path) return;
    const exportfile::Heading heading{.deviceCaption = reading.meter.caption(),
                                      .electronicNumber = reading.meter.number,
                                      .archiveNumber = number,
                                      .channelCaption =
                                          archive ? m_lastArchive->channel : m_lastJournal->channel};
    filesave::write(m_host, {{*path, exportfile::contents(heading, archives::gridRows(reading))}});
}
