// The program's file dialog: it lists a folder without opening a single file in it (a FIFO with no
// writer, a file whose read never ends), asks before replacing a file in a box whose title shows
// whole, and speaks Russian.
#include "modaldriver.h"
#include "ui/filedialog.h"
#include "ui/fixeddialog.h"
#include "ui/toolkittexts.h"

#include <QFile>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_EQ(mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
        write("data", "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"); // a PDF by its contents only
        write("report.csv", "a,b\r\n");
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir m_dir;
};

// The names of the folder's entries that were opened while the watch was on.
QStringList openedNames(int watch) {
    QStringList names;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
        for (char* p = buffer; p < buffer + n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(p);
            if (event->len > 0 && (event->mask & (IN_OPEN | IN_ACCESS)))
                names << QString::fromUtf8(event->name);
            p += sizeof(inotify_event) + event->len;
        }
    }
    return names;
}

TEST_F(FileDialogTest, ListsAFolderWithoutOpeningItsFiles) {
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(m_dir.path()).constData(), IN_OPEN | IN_ACCESS), 0);

    FileDialog dialog(nullptr, QStringLiteral("Загрузка параметров"), m_dir.path(),
                      QStringLiteral("Все файлы (*)"));
    dialog.setViewMode(QFileDialog::Detail);
    dialog.open();
    // A main thread stuck in a read would never come back to run this loop's timers.
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const auto type = [&](const char* name) {
        return model->type(model->index(path(QString::fromLatin1(name))));
    };
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !type("data").isEmpty() && !type("report.csv").isEmpty(); }, 10000));
    bool loopRan = false;
    QTimer::singleShot(0, [&] { loopRan = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return loopRan; }, 10000));

    EXPECT_EQ(type("data"), QStringLiteral("Файл"));
    EXPECT_EQ(type("report.csv"), QStringLiteral("Файл CSV"));
    EXPECT_EQ(openedNames(watch), QStringList());
    dialog.reject();
    close(watch);
}

TEST_F(FileDialogTest, AsksBeforeReplacingAFileAndNoKeepsTheDialogOpen) {
    FileDialog dialog(nullptr, QStringLiteral("Запись параметров в файл"), m_dir.path(),
                      QStringLiteral("Все файлы (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(path("report.csv"));
    QStringList titles;
    int wideEnough = 0;
    ModalDriver driver;
    for (QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes})
        driver.then(on<QMessageBox>([&, answer](QMessageBox* box) {
            titles << box->windowTitle();
            wideEnough += box->width() >= FixedDialog::widthForTitle(box->windowTitle(), box->font());
            EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("Да"));
            EXPECT_EQ(box->button(QMessageBox::No)->text(), QStringLiteral("Нет"));
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            press(box->button(answer));
        }));
    dialog.show();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible()) << "\"Нет\": the operator chooses another name";
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(titles, QStringList(2, QStringLiteral("Запись параметров в файл")));
    EXPECT_EQ(wideEnough, 2) << "the title shows whole";
    EXPECT_EQ(driver.unexpected(), 0);
}

TEST_F(FileDialogTest, SpeaksRussian) {
    ASSERT_TRUE(useRussianToolkitTexts()) << "Qt's Russian translation (qt6-translations-l10n) is missing";
    const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (QFileDialog::AcceptMode mode : {QFileDialog::AcceptSave, QFileDialog::AcceptOpen}) {
        FileDialog dialog(nullptr, QStringLiteral("Запись параметров в файл"), m_dir.path(),
                          QStringLiteral("Все файлы (*)"));
        dialog.setAcceptMode(mode);
        dialog.show();
        for (const QPushButton* button : dialog.findChildren<QPushButton*>())
            if (button->isVisible())
                EXPECT_FALSE(button->text().contains(latin)) << button->text().toStdString();
        auto* model = dialog.findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        for (int c = 0; c < model->columnCount(); ++c)
            EXPECT_FALSE(model->headerData(c, Qt::Horizontal).toString().contains(latin)) << c;
    }
}

} // namespace
