#include "app/filesave.h"

#include "app/exchange.h"
#include "app/operatoraction.h"
#include "app/viewhost.h"
#include "device/identification.h"
#include "files/textfile.h"
#include "ui/filedialog.h"
#include "ui/tform15.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

namespace filesave {

std::optional<QString> readElectronicNumber(const OperatorAction& action, ViewHost& host) {
    // Address 0 would be a broadcast: no meter answers it.
    if (host.deviceAddress() == 0) return std::nullopt;
    const DisabledWindow disabled = action.disableWindow();
    // Asked twice: one frame lost on a noisy line should not send a file to the wrong folder.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::optional<RegisterBlock> block =
            host.exchange().readHolding(ident::ElectronicNumberRegister, ident::ElectronicNumberCount);
        if (block) return ident::electronicNumber(*block);
    }
    return std::nullopt;
}

namespace {

struct SaveDialog {
    QString title = QStringLiteral("Запись параметров в файл");
    QString filter = QStringLiteral("Все файлы (*)");
    QString suffix; // given to a name typed without one
};

std::optional<QString> runSaveDialog(const QString& number, const QString& defaultName,
                                     const SaveDialog& kind) {
    QDir folder = QDir::current();
    // A folder that cannot be made leaves the dialog in the working directory.
    if (!number.isEmpty() && (folder.exists(number) || folder.mkdir(number))) folder.cd(number);

    FileDialog dialog(nullptr, kind.title, folder.absolutePath(), kind.filter);
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(kind.suffix);
    dialog.selectFile(defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::optional<QString> choosePath(const QString& electronicNumber, const QString& defaultName, Saving what) {
    SaveDialog kind;
    if (what == Saving::Archive) kind.title = QStringLiteral("Запись архива в файл");
    if (what == Saving::Report) kind.title = QStringLiteral("Запись отчёта в файл");
    return runSaveDialog(electronicNumber, defaultName, kind);
}

bool write(ViewHost& host, const QList<File>& files) {
    TForm15& notice = host.saveNotice();
    notice.showWaiting();
    for (const File& file : files) {
        QString reason;
        if (!textfile::write(file.path, file.bytes, &reason)) {
            notice.hide();
            host.ShowError(QStringLiteral("Не удалось записать файл %1: %2")
                               .arg(QDir::toNativeSeparators(file.path), reason));
            return false;
        }
    }
    notice.prepareFinished();
    notice.exec();
    return true;
}

void whenNoExchange(ViewHost& host, std::function<void()> action) {
    afterExchange(host, [&host, action = std::move(action)] {
        const OperatorAction running(host, {.guard = OperatorAction::Guard::Held});
        action();
    });
}

void saveImage(ViewHost& host, const QImage& image, const QString& defaultName,
               const std::optional<QString>& electronicNumber) {
    whenNoExchange(host, [&host, image, defaultName, electronicNumber] {
        const QString number = electronicNumber ? *electronicNumber : host.chosenMeter().number;
        const std::optional<QString> path =
            runSaveDialog(number, defaultName,
                          {.title = QStringLiteral("Запись изображения в файл"),
                           .filter = QStringLiteral("Изображения PNG (*.png)"),
                           .suffix = QStringLiteral("png")});
        if (!path) return;
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        write(host, {{*path, bytes}});
    });
}

} // namespace filesave
