#include "app/archivesview.h"

#include "app/exchange.h"
#include "app/filesave.h"
#include "app/operatoraction.h"
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

ArchivesView* ArchivesView::install(TForm1& form) {
    return new ArchivesView(form);
}

ArchivesView::ArchivesView(TForm1& form)
    : QObject(&form), m_form(form), m_form10(std::make_unique<TForm10>()),
      m_form12(std::make_unique<TForm12>()), m_form13(std::make_unique<TForm13>()) {
    setObjectName(QStringLiteral("ArchivesView"));
    now = [] { return QDateTime::currentDateTime(); };
    if (form.Form9) m_form10->setErrorDialog(form.Form9);

    form.ArchiveRangeDialog = [this] { return execModal(*m_form10) == 1; };
    form.setGroupReader(TForm1::GroupArchives, [this] { ReadArchives(); });
    form.setGroupReader(TForm1::GroupJournals, [this] { ReadJournals(); });
    // Run after the menu has closed, never from inside its mouse event.
    connect(form.MenuSaveArchive, &QAction::triggered, this, &ArchivesView::MenuSaveArchiveClick,
            Qt::QueuedConnection);
    form.StringGridArchives->installEventFilter(this);
}

ArchivesView::~ArchivesView() = default;

int ArchivesView::channel() const {
    return m_form.FirstChannel->isChecked() ? 0 : 1;
}

void ArchivesView::showLostPeriods(const QString& text) {
    m_form.StatusBar1->setText(1, text);
    m_form.StatusBar1->setBevel(1, text.isEmpty() ? StatusBar::Bevel::Lowered : StatusBar::Bevel::Raised);
}

bool ArchivesView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_form.StringGridArchives && event->type() == QEvent::Hide && !event->spontaneous())
        showLostPeriods({});
    return QObject::eventFilter(watched, event);
}

void ArchivesView::ReadArchives() {
    showLostPeriods({});
    m_form.Timer1->stop();
    DisabledWindow disabled(&m_form);
    m_form12->start();
    archives::ArchiveReading reading = archives::readArchive(
        archives::Kind(m_form.ArchiveNumber), m_form10->range(), channel(), now(),
        stoppable(m_form.exchange(), *m_form12),
        [this](int done, int planned) { m_form12->setProgress(done, planned); });
    StringGrid& grid = *m_form.StringGridArchives;
    showReading(grid, reading);
    // Stopped by the operator, not by the link: what was read is shown.
    if (m_form12->stopRequested()) grid.show();
    if (reading.notRead() > 0 && !reading.linkFailed())
        showLostPeriods(QStringLiteral("Не прочитано периодов: %1 из %2 (в таблице: «%3»)")
                            .arg(reading.notRead())
                            .arg(reading.periods.size())
                            .arg(archives::NotReadText));
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
        m_form.ArchiveNumber, m_form.TwoChannelMode, stoppable(m_form.exchange(), *m_form13),
        [this](int done, int planned) { m_form13->setProgress(done, planned); });
    showReading(*m_form.StringGridJournals, reading);
    if (m_form13->stopRequested()) m_form.StringGridJournals->show();
    m_form13->hide();
}

void ArchivesView::MenuSaveArchiveClick() {
    const OperatorAction action(m_form, {.guard = OperatorAction::Guard::Opened});
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
}

