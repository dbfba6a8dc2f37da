#include "app/filesave.h"

#include "app/tform1.h"
#include "files/textfile.h"
#include "ui/tform15.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>

namespace filesave {

QString electronicNumber(const TForm1& form) {
    const auto* edit = form.findChild<QLineEdit*>(QStringLiteral("EditElNumber"));
    return edit ? edit->text() : QString();
}

std::optional<QString> choosePath(const TForm1& form, const QString& defaultName) {
    const QString number = electronicNumber(form);
    QDir folder = QDir::current();
    // A folder that cannot be made leaves the dialog in the working directory.
    if (!number.isEmpty() && (folder.exists(number) || folder.mkdir(number))) folder.cd(number);

    QFileDialog dialog(nullptr, QStringLiteral("Запись параметров в файл"), folder.absolutePath(),
                       QStringLiteral("Все файлы (*)"));
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.selectFile(defaultName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool write(TForm1& form, const QList<File>& files) {
    TForm15& notice = *form.Form15;
    notice.showWaiting();
    for (const File& file : files) {
        QString reason;
        if (!textfile::write(file.path, file.bytes, &reason)) {
            notice.hide();
            form.ShowError(QStringLiteral("Не удалось записать файл %1: %2")
                               .arg(QDir::toNativeSeparators(file.path), reason));
            return false;
        }
    }
    notice.prepareFinished();
    notice.exec();
    return true;
}

} // namespace filesave
