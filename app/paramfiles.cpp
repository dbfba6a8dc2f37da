#include "app/paramfiles.h"

#include "app/exchange.h"
#include "app/filesave.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "files/paramreport.h"
#include "files/registerimage.h"
#include "files/snapshot.h"
#include "link/eventwait.h"
#include "ui/filedialog.h"
#include "ui/tform15.h"
#include "ui/tform16.h"

#include <QAction>
#include <QDir>
#include <QLabel>

namespace {

const QString ReportName = QStringLiteral("Param.txt");
const QString SnapshotName = QStringLiteral("Param.bin");

// "15–26, 31–88": the registers of the failed blocks, neighbouring blocks joined.
QString failedRanges(const std::array<bool, 6>& ok) {
    QStringList ranges;
    int first = -1, last = -1;
    const auto flush = [&] {
        if (first >= 0) ranges << QStringLiteral("%1–%2").arg(first).arg(last);
        first = -1;
    };
    for (std::size_t i = 0; i < ok.size(); ++i) {
        if (ok[i]) continue;
        const snapshot::LoadBlock& block = snapshot::loadPlan()[i];
        if (first >= 0 && block.first != last + 1) flush();
        if (first < 0) first = block.first;
        last = block.first + block.count - 1;
    }
    flush();
    return ranges.join(QStringLiteral(", "));
}

} // namespace

ParamFiles* ParamFiles::install(ViewHost& host) {
    return new ParamFiles(host);
}

ParamFiles::ParamFiles(ViewHost& host)
    : QObject(host.actionWindow()), m_host(host), m_form16(std::make_unique<TForm16>()) {
    setObjectName(QStringLiteral("ParamFiles"));
    // Not a blocking sleep: the window repaints while the meter takes the block, and the disabled
    // window and the guard keep every other command out.
    pause = eventwait::waitFor;
    // Queued, so that the menu has closed before a dialog opens.
    connect(host.fileCommand(ViewHost::FileCommand::SaveParams), &QAction::triggered, this,
            &ParamFiles::MenuSaveParamClick, Qt::QueuedConnection);
    connect(host.fileCommand(ViewHost::FileCommand::LoadParams), &QAction::triggered, this,
            &ParamFiles::MenuLoadParamClick, Qt::QueuedConnection);
}

ParamFiles::~ParamFiles() = default;

void ParamFiles::MenuSaveParamClick() {
    // Held for the whole command, so no poll starts between its exchanges or its pauses.
    const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Held});
    // The folder is the chosen meter's own: a number left in the system view by another meter would
    // put these files over that meter's. The files are read and written now, from that meter.
    if (const QString number = m_host.chosenMeter().number; !number.isEmpty()) {
        if (const std::optional<QString> path = filesave::choosePath(number, ReportName)) save(action, *path);
    }
}

void ParamFiles::save(const OperatorAction& action, const QString& reportPath) {
    TForm15& notice = m_host.saveNotice();
    notice.showWaiting();
    Exchange& link = m_host.exchange();
    image::ImageRead read;
    {
        const DisabledWindow disabled = action.disableWindow();
        link.armProgress();
        read = image::read([&link](int first, int count) { return link.readHolding(first, count); });
        link.resetProgress();
    }
    // A partial image would give a report of three lines and a snapshot whose zeros a later load
    // would write into the meter; the files already there are worth more.
    if (!read.complete()) {
        notice.prepareFinished(notice.StaticText3);
        notice.exec();
        return;
    }
    const QStringList report = paramreport::FormBuffer(image::block(read.bytes));
    filesave::write(m_host, {{reportPath, paramreport::fileBytes(m_host.deviceCaption(), report)},
                             {snapshot::binaryName(reportPath), snapshot::encode(read.bytes)}});
}

std::optional<QString> ParamFiles::chooseSnapshot(const QString& electronicNumber) const {
    FileDialog dialog(nullptr, QStringLiteral("Загрузка параметров"),
                      QDir::current().filePath(electronicNumber), QStringLiteral("Все файлы (*)"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("bin"));
    dialog.selectFile(SnapshotName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void ParamFiles::MenuLoadParamClick() {
    const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Held});
    // A meter that does not tell its number gets nothing: the number is all that keeps another
    // meter's parameters out of it.
    if (const std::optional<QString> number = filesave::readElectronicNumber(action, m_host)) {
        if (const std::optional<QString> path = chooseSnapshot(*number)) load(action, *path, *number);
    }
}

void ParamFiles::load(const QString& snapshotPath) {
    const OperatorAction action(m_host, {.guard = OperatorAction::Guard::Held});
    if (const std::optional<QString> number = filesave::readElectronicNumber(action, m_host))
        load(action, snapshotPath, *number);
}

void ParamFiles::load(const OperatorAction& action, const QString& snapshotPath,
                      const QString& electronicNumber) {
    TForm16& window = *m_form16;
    window.showWaiting();
    const std::optional<snapshot::Snapshot> file = snapshot::read(snapshotPath);
    QLabel* outcome = window.StaticText3;
    const bool belongs = file && snapshot::belongsTo(*file, electronicNumber);
    window.setRefusal(file && !belongs ? snapshot::ownerMismatch(*file, electronicNumber) : QString());
    if (belongs) {
        const DisabledWindow disabled = action.disableWindow();
        Exchange& link = m_host.exchange();
        const int blocks = int(snapshot::loadPlan().size());
        int sent = 0;
        const std::array<bool, 6> ok = snapshot::load(
            file->image,
            [&](const RegisterWrite& block) {
                const bool written = link.report(link.write(block));
                link.showProgress(++sent, blocks);
                return written;
            },
            pause);
        link.showProgress(0, blocks);
        outcome = window.StaticText2;
        if (const QString failed = failedRanges(ok); !failed.isEmpty()) {
            window.setFailedRegisters(failed);
            outcome = window.StaticTextFailed;
        }
    }
    window.prepareFinished(outcome);
    window.exec();
}
