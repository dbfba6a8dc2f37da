#include "app/archivesview.h"

#include "app/exchange.h"
#include "app/filesave.h"
#include "app/tform1.h"
#include "archives/archivereading.h"
#include "archives/journalreading.h"
#include "files/exportfile.h"
#include "ui/statusbar.h"
#include "ui/stringgrid.h"
#include "ui/tform10.h"
#include "ui/tform12.h"
#include "ui/tform13.h"
#include "ui/tform9.h"

#include <QAction>
#include <QTimer>

namespace {

constexpr int DowntimeColumnWidth = 156;

// Fills the grid with what was read. After a link failure the grid stays hidden, but holds the
// rows read so far, which "Сохранить архив" still exports.
void show(StringGrid& grid, const archives::Reading& reading) {
    grid.setRows(archives::gridRows(reading));
    if (!reading.linkFailed()) grid.show();
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
    const archives::Reading reading = archives::readArchive(
        archives::Kind(m_form.ArchiveNumber), m_form10->range(), channel(), now(),
        [this](const archives::Request& r) { return m_form.exchange().readArchive(r); },
        [this](int done, int planned) { m_form12->setProgress(done, planned); });
    StringGrid& grid = *m_form.StringGridArchives;
    show(grid, reading);
    if (grid.columnCount() > 4) grid.setColWidth(4, DowntimeColumnWidth);
    m_form12->hide();
    if (!reading.linkFailed()) TForm1::setMenuEnabled(m_form.MenuChoiceChannel, true);
}

void ArchivesView::ReadJournals() {
    m_form.Timer1->stop();
    DisabledWindow disabled(&m_form);
    m_form13->start();
    const archives::Reading reading = archives::readJournal(
        m_form.ArchiveNumber, m_form.TwoChannelMode,
        [this](const archives::Request& r) { return m_form.exchange().readArchive(r); },
        [this](int done, int planned) { m_form13->setProgress(done, planned); });
    show(*m_form.StringGridJournals, reading);
    m_form13->hide();
}

void ArchivesView::MenuSaveArchiveClick() {
    TForm1::HandlerScope scope(m_form);
    const std::optional<QString> path = filesave::choosePath(
        m_form, exportfile::defaultName(m_form.ArchiveNumber, m_form.FirstChannel->isChecked()));
    if (path) {
        const StringGrid& grid =
            m_form.Archives->isChecked() ? *m_form.StringGridArchives : *m_form.StringGridJournals;
        const exportfile::Heading heading{.deviceCaption = m_form.StatusBar2->text(0),
                                          .electronicNumber = filesave::electronicNumber(m_form),
                                          .archiveNumber = m_form.ArchiveNumber,
                                          .channelCaption = m_form.StatusBar2->text(2)};
        filesave::write(m_form, {{*path, exportfile::contents(heading, grid.rows())}});
    }
    m_form.LinkIdle = true;
}

void ArchivesView::takeScreenshots(const std::function<void(QWidget*, const QString&)>& save) {
    (void)save;
}
