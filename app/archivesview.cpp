#include "app/archivesview.h"

#include "app/exchange.h"
#include "app/filesave.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "files/exportfile.h"
#include "ui/archivegrids.h"
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

void ArchivesView::ReadArchives() {
    showLostPeriods({});
    m_host.stopPolling();
    DisabledWindow disabled(m_host.actionWindow());
    m_form12->start();
    archives::ArchiveReading reading =
        archives::readArchive(archives::Kind(m_host.archiveNumber()), m_form10->range(), channel(), now(),
                              stoppable(m_host.exchange(), *m_form12),
                              [this](int done, int planned) { m_form12->setProgress(done, planned); });
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
    emit archiveRead();
}

void ArchivesView::ReadJournals() {
    m_host.stopPolling();
    DisabledWindow disabled(m_host.actionWindow());
    m_form13->start();
    const archives::Reading reading = archives::readJournal(
        m_host.archiveNumber(), m_host.twoChannelMode(), stoppable(m_host.exchange(), *m_form13),
        [this](int done, int planned) { m_form13->setProgress(done, planned); });
    showReading(m_host.journalGrid(), reading);
    if (m_form13->stopRequested()) m_host.journalGrid().show();
    m_form13->hide();
}

void ArchivesView::MenuSaveArchiveClick() {
    const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Opened});
    // The rows were read from the meter chosen now; one that no longer answers still gets its rows
    // saved, without a number, in the working directory.
    const QString number = filesave::readElectronicNumber(m_host).value_or(QString());
    const std::optional<QString> path =
        filesave::choosePath(number, exportfile::defaultName(m_host.archiveNumber(), m_host.channel() == 1));
    if (path) {
        const StringGrid& grid = m_host.archiveChosen() ? m_host.archiveGrid() : m_host.journalGrid();
        const exportfile::Heading heading{.deviceCaption = m_host.deviceCaption(),
                                          .electronicNumber = number,
                                          .archiveNumber = m_host.archiveNumber(),
                                          .channelCaption = m_host.channelCaption()};
        filesave::write(m_host, {{*path, exportfile::contents(heading, grid.rows())}});
    }
}
