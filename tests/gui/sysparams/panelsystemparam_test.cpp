// The system parameter panel on its own: layout from the map, filling, keys, and what it reports.
#include "device/sysparams.h"
#include "ui/panelsystemparam.h"
#include "ui/radiogroup.h"
#include "ui/tform18.h"

#include "hex.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QByteArray systemRegisters(std::uint8_t speedCode, std::uint8_t workMode) {
    QByteArray data = hex("65E7270D 0000 0000 0000 0000 0000 0000 00BC614E 5E0D3280 0007");
    data += char(0);
    data += char(speedCode);
    data += hex("0002");
    data += char(0);
    data += char(workMode);
    data += hex("0001 0002 003C 41E40000");
    return data;
}

struct Panel : ::testing::Test {
    PanelSystemParam panel;
    QSignalSpy commits{&panel, &PanelSystemParam::editCommitted};
    QSignalSpy choices{&panel, &PanelSystemParam::listChosen};
    void SetUp() override {
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    }
};

} // namespace

TEST_F(Panel, GeometryNamesAndTags) {
    EXPECT_EQ(panel.geometry(), QRect(8, 32, 673, 393));
    for (const sysparams::Field& row : sysparams::rows()) {
        auto* w = panel.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(w, nullptr) << row.name;
        EXPECT_EQ(w->geometry(), QRect(row.place.x, row.place.y, row.place.width, row.place.height));
        if (row.tag == param::TagIsRegister)
            EXPECT_EQ(w->property("Tag").toInt(), row.reg) << row.name;
        else
            EXPECT_FALSE(w->property("Tag").isValid()) << row.name;
    }
    EXPECT_EQ(panel.caption("EditFrequency")->text(), QString::fromUtf8("Частота кварца, МГц "));
    EXPECT_EQ(panel.caption("EditFrequency")->palette().color(QPalette::WindowText), QColor(0, 0, 0x80));
    EXPECT_EQ(panel.edit("EditFrequency")->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(panel.palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(panel.frameShape(), QFrame::Box);
    PanelSystemParam fresh;
    EXPECT_TRUE(fresh.isHidden());
    EXPECT_EQ(panel.radioGroup()->title(), QString::fromUtf8("Дополнительное усиление"));
    EXPECT_EQ(panel.radioGroup()->size(), QSize(169, 57));
    EXPECT_EQ(panel.radioGroup()->itemIndex(), 0);
    const std::pair<const char*, int> buttons[] = {
        {"Button1", 40}, {"ButtonInitParam", 328}, {"ButtonClearArh", 440}, {"ButtonClearJournals", 552}};
    for (auto [name, x] : buttons) {
        QPushButton* b = panel.button(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->pos(), QPoint(x, 344)) << name;
    }
    for (QComboBox* c : panel.findChildren<QComboBox*>())
        EXPECT_FALSE(c->isEditable());
}

TEST_F(Panel, CaptionsAndItemsFitTheirControls) {
    for (QLabel* label : panel.findChildren<QLabel*>()) {
        if (!label->objectName().startsWith(QLatin1String("Label"))) continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_LE(needed, label->width()) << label->objectName().toStdString();
        // Labels may be wider than their field but never reach into the next column.
        EXPECT_LE(label->x() + needed, panel.width() - 4) << label->objectName().toStdString();
    }
    for (QPushButton* b : panel.findChildren<QPushButton*>())
        EXPECT_LE(b->fontMetrics().horizontalAdvance(b->text()) + 8, b->width())
            << b->objectName().toStdString();
    for (QComboBox* c : panel.findChildren<QComboBox*>()) {
        c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        EXPECT_LE(c->sizeHint().width(), c->width()) << c->objectName().toStdString();
    }
    RadioGroup* radio = panel.radioGroup();
    EXPECT_LE(radio->fontMetrics().horizontalAdvance(radio->title()) + 16, radio->width());
    for (int i = 0; i < radio->count(); ++i)
        EXPECT_LE(radio->button(i)->sizeHint().width() + 8, radio->width());
    for (QLineEdit* e : panel.findChildren<QLineEdit*>()) {
        e->setText(e->objectName() == "EditDate"   ? "28.02.2024"
                   : e->objectName() == "EditTime" ? "23:59:59"
                                                   : "");
        EXPECT_LE(e->fontMetrics().horizontalAdvance(e->text()) + 6, e->width())
            << e->objectName().toStdString();
    }
}

TEST_F(Panel, FillingNeverReportsAChoice) {
    panel.fill(RegisterBlock(0, systemRegisters(9, 5)));
    panel.fill(RegisterBlock(114, hex("0001")));
    panel.fill(RegisterBlock(96, hex("0001")));
    EXPECT_EQ(choices.count(), 0);
    EXPECT_EQ(panel.combo("ComboSpeedRS")->currentText(), "38400");
    EXPECT_EQ(panel.combo("ComboWorkMode")->currentText(), QString::fromUtf8("Поверка"));
    EXPECT_EQ(panel.radioGroup()->itemIndex(), 1);
    EXPECT_EQ(panel.itemIndex("ComboBoxModeLine"), 1);
    EXPECT_EQ(panel.edit("EditDate")->text(), "05.03.2024");
    EXPECT_EQ(panel.edit("EditTime")->text(), "14:07:09");
    EXPECT_EQ(panel.edit("EditFrequency")->text(), "28,50");

    // Codes without an item keep the previous selection; out-of-range direct values select nothing.
    panel.fill(RegisterBlock(0, systemRegisters(10, 0)));
    EXPECT_EQ(panel.combo("ComboSpeedRS")->currentText(), "38400");
    panel.fill(RegisterBlock(0, systemRegisters(1, 0)));
    EXPECT_EQ(panel.combo("ComboSpeedRS")->currentText(), "38400");
    panel.fill(RegisterBlock(96, hex("0005")));
    panel.fill(RegisterBlock(114, hex("0009")));
    EXPECT_EQ(panel.itemIndex("ComboBoxModeLine"), -1);
    EXPECT_EQ(panel.radioGroup()->itemIndex(), -1);
    EXPECT_EQ(choices.count(), 0);
}

TEST_F(Panel, OperatorChoicesAreReported) {
    panel.fill(RegisterBlock(0, systemRegisters(9, 0)));
    panel.combo("ComboWorkMode")->setCurrentIndex(1);
    QRadioButton* on = panel.radioGroup()->button(1);
    QTest::mouseClick(on, Qt::LeftButton, {}, QPoint(6, on->height() / 2));
    ASSERT_EQ(choices.count(), 2);
    EXPECT_EQ(choices[0], (QList<QVariant>{QStringLiteral("ComboWorkMode"), 1}));
    EXPECT_EQ(choices[1], (QList<QVariant>{QStringLiteral("RadioGroupDopUsil"), 1}));
}

TEST_F(Panel, EditorsTakeOnlyTheirKeysAndCommitOnEnter) {
    struct Case {
        const char* field;
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {
        {"EditFrequency", "2a8.5-e", "28,5"},
        {"EditTimeInercias", "3x0,0", "300"},
        {"EditNodeAddress", "1 2.7", "127"},
        {"EditElNumber", "-42", "42"},
        {"EditDateFabrications", "01.02,2024 1:2", "01.022024 1:2"},
    };
    for (const Case& c : cases) {
        QLineEdit* e = panel.edit(c.field);
        e->clear();
        e->setFocus();
        QTest::keyClicks(e, QString::fromUtf8(c.typed) + "9");
        QTest::keyClick(e, Qt::Key_Backspace);
        EXPECT_EQ(e->text(), QString::fromUtf8(c.shown)) << c.field;
        QTest::keyClick(e, Qt::Key_Return);
        ASSERT_FALSE(commits.isEmpty());
        EXPECT_EQ(commits.takeLast(),
                  (QList<QVariant>{QString::fromLatin1(c.field), QString::fromUtf8(c.shown)}));
    }
}

TEST_F(Panel, SelectAllThenTypingReplacesTheShownValue) {
    panel.fill(RegisterBlock(0, systemRegisters(9, 0)));
    QLineEdit* e = panel.edit("EditFrequency");
    ASSERT_EQ(e->text(), "28,50");
    e->setFocus();
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(e, "30.5");
    QTest::keyClick(e, Qt::Key_Return);
    ASSERT_EQ(commits.count(), 1);
    EXPECT_EQ(commits.first(), (QList<QVariant>{QStringLiteral("EditFrequency"), QStringLiteral("30,5")}));
}

TEST_F(Panel, DisplayFieldsDiscardEveryKey) {
    panel.fill(RegisterBlock(0, systemRegisters(9, 0)));
    for (const char* name : {"EditDate", "EditTime"}) {
        QLineEdit* e = panel.edit(name);
        const QString before = e->text();
        e->setFocus();
        QTest::keyClicks(e, "12ab");
        QTest::keyClick(e, Qt::Key_Backspace);
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(e, Qt::Key_Return);
        EXPECT_EQ(e->text(), before) << name;
    }
    EXPECT_TRUE(commits.isEmpty());
}

TEST(SysParamDialogs, ClockQuestionAnswers) {
    TForm18 form;
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Установка часов"));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    for (auto [button, result] : {std::pair{form.Button1, 1}, std::pair{form.Button2, 2}}) {
        QTimer::singleShot(0, button, [b = button] { b->click(); });
        EXPECT_EQ(form.exec(), result);
    }
}
