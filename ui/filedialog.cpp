#include "ui/filedialog.h"

#include "ui/fixeddialog.h"

#include <QFileIconProvider>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Answers from what a directory listing already knows (name, file or folder), never from contents.
class NameOnlyIconProvider : public QFileIconProvider {
  public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override {
        if (info.isRoot()) return icon(Drive);
        return icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo& info) const override { return FileDialog::typeText(info); }
};

// Shared by every dialog: the model keeps a pointer to it for the dialog's whole life.
NameOnlyIconProvider& nameOnlyIcons() {
    static NameOnlyIconProvider provider;
    return provider;
}

} // namespace

FileDialog::FileDialog(QWidget* parent, const QString& caption, const QString& directory,
                       const QString& filter)
    : QFileDialog(parent, caption, directory, filter) {
    // A desktop's own dialog would look into the files however this one is set up.
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::DontConfirmOverwrite);
    setIconProvider(&nameOnlyIcons());
}

QString FileDialog::typeText(const QFileInfo& file) {
    if (file.isRoot()) return QStringLiteral("Диск");
    if (file.isDir()) return QStringLiteral("Папка");
    const QString suffix = file.suffix();
    return suffix.isEmpty() ? QStringLiteral("Файл") : QStringLiteral("Файл %1").arg(suffix.toUpper());
}

void FileDialog::accept() {
    const QStringList chosen = selectedFiles();
    const QFileInfo target(chosen.value(0));
    // Qt's own question is titled with the dialog's title in a box too narrow for it.
    if (acceptMode() == AcceptSave && !chosen.isEmpty() && target.exists() && !target.isDir()) {
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        QStringLiteral("Файл %1 уже существует.\nЗаменить его?").arg(target.fileName()),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("ReplaceQuestion"));
        box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
        box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
        box.setDefaultButton(QMessageBox::No);
        keepTitleWhole(box);
        if (box.exec() != QMessageBox::Yes) return;
    }
    QFileDialog::accept();
}
