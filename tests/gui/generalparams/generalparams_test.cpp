// The "Основные" view in the real main window against the in-process simulator: which layout the
// device gets, what each layout shows, what every editor, list and condition cell sends, and how
// failures end.
#include "app/generalparams.h"
#include "device/encodings.h"
#include "ui/conditionpicture.h"
#include "ui/generalparambox.h"
#include "ui/panelgeneralparam.h"
#include "ui/statusbar.h"

#include "mainwindowfixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>

using namespace genparams;

namespace {

const QStringList OperationalRead{"r0+18", "c4=0", "r21+124", "r145+49"};
const QStringList VerificationRead{"r0+18", "c4=0", "r22+14", "r109+85", "w168=0", "w85=0"};

class GeneralView : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        startWithMeterChosen();
        form->TwoChannelMode = true;
        view = GeneralParams::install(*form);
        panel = view->panel();
    }

    // The device's work mode and sensor type, then the view chosen from the menu.
    void choose(int workMode, int sensorType) {
        sim->setHolding(1, WorkModeRegister, quint16(workMode));
        sim->setHolding(1, SensorTypeRegister, quint16(sensorType));
        form->MenuTypeParamClick(form->GeneralParam);
    }
    void forget() { sim->clearLog(); }
    QString text(const QString& field) const {
        QLineEdit* e = panel->edit(field);
        return e ? e->text() : QStringLiteral("<no %1>").arg(field);
    }
    void enter(const QString& field, const QString& typed) { commit(panel->edit(field), typed); }
    QList<Variant> shownLayouts() const {
        QList<Variant> out;
        for (Variant v : Variants)
            if (panel->box(v, 0)->isVisible() && panel->box(v, 1)->isVisible()) out << v;
        return out;
    }
    ConditionPicture* picture(const QString& name) const { return panel->findChild<ConditionPicture*>(name); }
    void click(const QString& pictureName) {
        ConditionPicture* p = picture(pictureName);
        ASSERT_NE(p, nullptr) << pictureName.toStdString();
        QTest::mouseClick(p, Qt::LeftButton);
    }

    GeneralParams* view = nullptr;
    PanelGeneralParam* panel = nullptr;
};

} // namespace

TEST_F(GeneralView, LayoutByWorkModeAndSensorType) {
    struct Case {
        int mode, sensor;
        std::optional<Variant> layout;
        const char* modeText;
        const char* sensorText;
        QStringList requests;
    };
    const QStringList noLayout{"r0+18", "c4=0"};
    const Case cases[] = {
        {0, 0, Variant::EN, "Эксплуатационный", "Накладные", OperationalRead},
        {0, 1, Variant::EV, "Эксплуатационный", "Врезные", OperationalRead},
        {0, 2, Variant::EU, "Эксплуатационный", "U - колено", OperationalRead},
        {1, 0, Variant::PN, "Поверка", "Накладные", VerificationRead},
        {1, 1, std::nullopt, "Поверка", "Врезные", noLayout},
        {1, 2, std::nullopt, "Поверка", "U - колено", noLayout},
        // Codes without a text leave the field as the last read left it.
        {0, 3, std::nullopt, "Эксплуатационный", "U - колено", noLayout},
        {2, 0, std::nullopt, "Эксплуатационный", "Накладные", noLayout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + "/" + std::to_string(c.sensor));
        form->Timer1->start();
        forget();
        choose(c.mode, c.sensor);
        EXPECT_EQ(sent(), QStringList{"c4=0"} + c.requests);
        EXPECT_EQ(shownLayouts(), c.layout ? QList<Variant>{*c.layout} : QList<Variant>{});
        EXPECT_TRUE(panel->isVisible());
        EXPECT_EQ(text("EditWorkModeGeneralParam"), QString::fromUtf8(c.modeText));
        EXPECT_EQ(text("EditTypeSensorsGeneralParam"), QString::fromUtf8(c.sensorText));
        EXPECT_EQ(form->StatusBar1->text(0), "");
        EXPECT_FALSE(form->Timer1->isActive()) << "the view is not polled";
        EXPECT_EQ(TForm1::tagOf(form->ProgressBar1), 0);
        EXPECT_TRUE(windowUsable());
    }
    const QDateTime clock = enc::SecToDate(sim->deviceTime(1));
    EXPECT_EQ(text("EditDateGeneralParam"), enc::formatDate(clock));
    EXPECT_EQ(text("EditTimeGeneralParam"), enc::formatShortTime(clock));
}

TEST_F(GeneralView, EveryFieldShowsItsOwnRegister) {
    for (Variant v : Variants) {
        const Layout& l = layout(v);
        SCOPED_TRACE(l.code);
        // A value per register that tells the registers apart.
        const auto whole = [](const Row& r) {
            return r.field.editable() && r.field.encoding != Encoding::RegisterFloat;
        };
        for (const Row& r : l.fields) {
            for (int ch = 0; ch < 2; ++ch) {
                const int reg = param::registerFor(r.field, ch + 1);
                if (whole(r))
                    sim->setHolding(1, reg, quint16(reg));
                else if (r.field.encoding == Encoding::RegisterFloat && !r.extra.fixedText)
                    sim->setHoldingFloat(1, reg, float(reg) + 0.5f);
            }
        }
        choose(l.workMode, l.sensorType);
        for (const Row& r : l.fields) {
            for (int ch = 0; ch < 2; ++ch) {
                const QString name = controlName(l, r, ch);
                const float value = float(param::registerFor(r.field, ch + 1)) + 0.5f;
                QString want;
                if (whole(r))
                    want = QString::number(param::registerFor(r.field, ch + 1));
                else if (r.extra.pair == Pair::Diameter)
                    want = param::formatValue(r.field, float(value / 3.14159265358979));
                else if (r.extra.fixedText)
                    want = QString::fromUtf8(r.extra.fixedText);
                else if (r.field.encoding == Encoding::RegisterFloat &&
                         r.field.control != param::Control::Cells)
                    want = param::formatValue(r.field, value);
                else
                    continue;
                EXPECT_EQ(text(name), want) << name.toStdString();
            }
        }
    }
}

TEST_F(GeneralView, SecondBlockFailingKeepsWhatTheFirstFilled) {
    choose(0, 0);
    const QString oldWeight = text("EditWeigthPulseENCh2");
    sim->setHoldingFloat(1, 143, 77.0f); // channel 2 low threshold, block 1
    sim->setHoldingFloat(1, 145, 5.0f);  // channel 2 pulse weight, block 2
    forget();
    // The menu's coil write, the common read, its coil write, block 1, then block 2 gets no answer.
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 5));
    form->MenuTypeParamClick(form->GeneralParam);
    EXPECT_EQ(sent(), QStringList{"c4=0"} + OperationalRead);
    EXPECT_EQ(text("EditLowLimitENCh2"), "77,00");
    EXPECT_EQ(text("EditWeigthPulseENCh2"), oldWeight);
    EXPECT_TRUE(shownLayouts().isEmpty());
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_EQ(form->StatusBar1->bevel(0), StatusBar::Bevel::Raised);
    EXPECT_TRUE(windowUsable());

    // A refused value with a silent device: the field stays empty, the boxes stay shown.
    sim->clearFaults();
    choose(0, 0);
    sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    enter("EditHWallENCh1", "1000");
    EXPECT_EQ(text("EditHWallENCh1"), "");
    EXPECT_EQ(shownLayouts(), QList<Variant>{Variant::EN});
    EXPECT_TRUE(windowUsable());

    // A failed common read shows the failure too, and reads no layout.
    forget();
    form->MenuTypeParamClick(form->GeneralParam);
    EXPECT_EQ(sent(), (QStringList{"c4=0", "r0+18"}));
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(GeneralView, TypedValuesWriteOrAreRefusedAndTheLayoutIsReadAgain) {
    struct Case {
        int mode, sensor;
        const char* field;
        const char* typed;
        QStringList writes; // none: refused, the device's value read back
        std::map<QString, QString> shownAfter;
    };
    const Case cases[] = {
        // The circumference and the outer diameter write both, and show what the device keeps.
        {0,
         0,
         "EditExternalDiameterENCh1",
         "10000",
         {"W36:2=46f56fcd", "W40:2=461c4000"},
         {{"EditExternalDiameterENCh1", "9999,99"},
          {"EditLengthCircENCh1", "31415,90"},
          {"EditExtDiamPEAENCh1", "10000,00"}}},
        {0,
         0,
         "EditLengthCircENCh2",
         "30000",
         {"W119:2=46ea6000", "W123:2=46153538"},
         {{"EditExternalDiameterENCh2", "9549,30"}, {"EditExtDiamPEAENCh2", "9549,30"}}},
        {0, 0, "EditExternalDiameterENCh1", "10000,5", {}, {}},
        // One value whose fate depends on the layout shown; each layout's range edges are the
        // layout table's test.
        {0, 0, "EditAxialBaseENCh1", "20", {}, {}},
        {0, 1, "EditAxialBaseEVCh1", "20", {"W42:2=41a00000"}, {}},
        // Verification: both channel boxes show the one register, and every read switches the
        // flow-speed correction off again.
        {1, 0, "EditLowLimitPNCh2", "12,5", {"W31:2=41480000"}, {{"EditLowLimitPNCh1", "12,50"}}},
        {1, 0, "EditShiftZeroPNCh1", "-100", {"W24:2=c2c80000"}, {}},
        {1, 0, "EditShiftZeroPNCh2", "100", {"W24:2=42c80000"}, {{"EditShiftZeroPNCh1", "100,00"}}},
        {1, 0, "EditShiftZeroPNCh1", "-100,5", {}, {}},
        {1, 0, "EditWeigthPulsePNCh1", "0,0001", {}, {}},
        {1, 0, "EditWeigthPulsePNCh2", "0,0002", {"W34:2=3951b717"}, {{"EditWeigthPulsePNCh1", "0,0002"}}},
        {1, 0, "EditIntervalAveragePNCh2", "50", {"w33=50"}, {}},
        {1, 0, "EditLengthPulsePNCh2", "7", {"w23=7"}, {}},
    };
    std::optional<std::pair<int, int>> shown;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.typed);
        if (shown != std::pair{c.mode, c.sensor}) choose(c.mode, c.sensor);
        shown = std::pair{c.mode, c.sensor};
        const QString field = QString::fromLatin1(c.field);
        const QString before = text(field);
        if (c.mode == 1) {
            sim->setHolding(1, 85, 1);
            sim->setHolding(1, 168, 1);
        }
        forget();
        enter(field, QString::fromUtf8(c.typed));
        EXPECT_EQ(sent(), c.writes + (c.mode == 1 ? VerificationRead : OperationalRead));
        if (c.writes.isEmpty()) {
            EXPECT_EQ(text(field), before);
        }
        for (const auto& [other, value] : c.shownAfter)
            EXPECT_EQ(text(other), value) << other.toStdString();
        if (c.mode == 1) {
            EXPECT_EQ(sim->holding(1, 85), 0);
            EXPECT_EQ(sim->holding(1, 168), 0);
        }
        EXPECT_TRUE(panel->edit(field)->hasFocus());
        EXPECT_TRUE(windowUsable());
    }
}

TEST_F(GeneralView, PairResultsShowAtOnceBeforeTheReRead) {
    choose(0, 0);
    forget();
    // The two writes are answered, the re-read is not: what shows is the editor's own result.
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 3));
    enter("EditLengthCircENCh1", "30000");
    EXPECT_EQ(sent(), (QStringList{"W36:2=46ea6000", "W40:2=46153538", "r0+18"}));
    EXPECT_EQ(text("EditExternalDiameterENCh1"), "9549,30");
    EXPECT_EQ(text("EditExtDiamPEAENCh1"), "9549,30");
    EXPECT_EQ(text("EditLengthCircENCh1"), "30000");
}

TEST_F(GeneralView, VerificationLayout) {
    sim->setHolding(1, 33, 300);
    choose(1, 0);
    EXPECT_EQ(text("EditIntervalAveragePNCh1"), "44") << "the low byte of 300";
    EXPECT_EQ(text("EditIntervalAveragePNCh2"), "44");
    EXPECT_EQ(sim->holding(1, 85), 0);
    EXPECT_EQ(sim->holding(1, 168), 0);
    // The rig's values are the layout's own, whatever the device holds.
    sim->setHoldingFloat(1, 70, 55.0f);
    sim->setHoldingFloat(1, 66, 3.0f);
    form->MenuTypeParamClick(form->GeneralParam);
    for (int ch = 1; ch <= 2; ++ch) {
        const QString n = QString::number(ch);
        EXPECT_EQ(text("EditInternalDiameterPNCh" + n), "100");
        EXPECT_EQ(text("EditGidroDinamPNCh" + n), "1");
        EXPECT_EQ(text("EditSpeedSoundPNCh" + n), "2,2");
        EXPECT_EQ(text("EditPhaseSpeedPNCh" + n), "3,85");
        EXPECT_TRUE(panel->edit("EditPhaseSpeedPNCh" + n)->isReadOnly());
    }

    // A failed second block sends neither switch.
    forget();
    sim->setFault(sim::FaultSpec::onNth(sim::Fault::Silence, 4));
    view->ReadGeneralParam();
    EXPECT_EQ(sent(), VerificationRead.mid(0, 4));
}

TEST_F(GeneralView, ConditionCellToggleChangesOneBitOfTheDevicesMask) {
    form->TwoChannelMode = false; // two-beam: channel 1 shows bits 6 and 7 too
    sim->setHolding(1, 80, 0x94);
    sim->setHolding(1, 163, 0x30);
    choose(0, 0);
    EXPECT_TRUE(picture("Image0xENCh1")->isVisible()) << "bit 7 set";
    EXPECT_TRUE(picture("Image1_ENCh1")->isVisible()) << "bit 6 clear";
    EXPECT_TRUE(picture("Image2xENCh2")->isVisible()) << "bit 5 set";
    EXPECT_EQ(picture("Image0_ENCh2"), nullptr) << "channel 2 has bits 0 to 5 only";

    // Changed on the device since the read: the toggle keeps that change.
    sim->setHolding(1, 80, 0x95);
    forget();
    click("Image0xENCh1");
    EXPECT_EQ(sent(), (QStringList{"r80+1", "w80=21"}));
    EXPECT_FALSE(picture("Image0xENCh1")->isVisible());
    EXPECT_TRUE(picture("Image0_ENCh1")->isVisible());
    EXPECT_TRUE(windowUsable());

    forget();
    click("Image7_ENCh2");
    EXPECT_EQ(sent(), (QStringList{"r163+1", "w163=49"}));
    EXPECT_EQ(sim->holding(1, 163), 0x31);

    // A toggle whose read gets no answer writes nothing and leaves the window usable.
    forget();
    sim->setFault(sim::FaultSpec::always(sim::Fault::Silence));
    click("Image2xENCh2");
    EXPECT_EQ(sent(), (QStringList{"r163+1"}));
    EXPECT_EQ(form->StatusBar1->text(0), LinkFailure);
    EXPECT_EQ(sim->holding(1, 163), 0x31);
    EXPECT_TRUE(windowUsable());

    // Two-channel mode: bits 6 and 7 of channel 1 are not shown at all.
    sim->clearFaults();
    form->TwoChannelMode = true;
    choose(0, 2);
    for (const char* name : {"Image0_EUCh1", "Image0xEUCh1", "Image1_EUCh1", "Image1xEUCh1"})
        EXPECT_FALSE(picture(name)->isVisible()) << name;
    EXPECT_TRUE(picture("Image2_EUCh1")->isVisible() || picture("Image2xEUCh1")->isVisible());
}

TEST_F(GeneralView, ListChoiceSendsCommandOneToBothChannelsThenReReads) {
    QSignalSpy pauses(form->Timer2, &QTimer::timeout);
    choose(0, 0);
    ASSERT_EQ(panel->combo("ComboBoxWorkModePulseExitENCh1")->currentIndex(), 1);
    ASSERT_EQ(panel->findChild<QLabel*>("StaticText59")->text(), QString::fromUtf8("Вес имп. (f), м3/имп."));
    forget();
    pauses.clear();
    panel->combo("ComboBoxWorkModePulseExitENCh2")->setCurrentIndex(0);
    EXPECT_EQ(sent(), QStringList({"w21=0", "w27=1", "w28=1"}) + OperationalRead);
    EXPECT_EQ(pauses.count(), 3);
    EXPECT_TRUE(windowUsable());
    // The device took the frequency mode on command 1: its output weight is now pulses per m3.
    EXPECT_EQ(panel->combo("ComboBoxWorkModePulseExitENCh1")->currentIndex(), 0);
    for (const char* caption : {"StaticText40", "StaticText59"})
        EXPECT_EQ(panel->findChild<QLabel*>(caption)->text(), QString::fromUtf8("Вес имп. (f), имп./м3"));
    EXPECT_EQ(text("EditWeigthPulseFENCh1"), "100,00");

    forget();
    panel->combo("ComboBoxSchemeInstallENCh2")->setCurrentIndex(1);
    EXPECT_EQ(sent(), QStringList({"w166=1", "w27=1", "w28=1"}) + OperationalRead);

    // A code without an item leaves lists and captions as they were.
    sim->setHolding(1, 21, 2);
    sim->setHolding(1, 83, 7);
    form->MenuTypeParamClick(form->GeneralParam);
    EXPECT_EQ(panel->combo("ComboBoxWorkModePulseExitENCh2")->currentIndex(), 0);
    EXPECT_EQ(panel->findChild<QLabel*>("StaticText40")->text(), QString::fromUtf8("Вес имп. (f), имп./м3"));
    EXPECT_EQ(panel->combo("ComboBoxSchemeInstallENCh1")->currentText(), QString::fromUtf8("V - схема"));
}

TEST_F(GeneralView, KeysAndTheGuard) {
    choose(0, 0);
    QLineEdit* wall = panel->edit("EditHWallENCh1");
    wall->clear();
    QTest::keyClicks(wall, "1a.5-");
    EXPECT_EQ(wall->text(), "1,5");
    QLineEdit* interval = panel->edit("EditIntervalAverageENCh1");
    interval->clear();
    QTest::keyClicks(interval, "2,x0");
    EXPECT_EQ(interval->text(), "20");
    choose(1, 0);
    QLineEdit* shift = panel->edit("EditShiftZeroPNCh2");
    shift->clear();
    QTest::keyClicks(shift, "-1.5e");
    EXPECT_EQ(shift->text(), "-1,5");

    // While another action holds the guard nothing is sent.
    forget();
    form->LinkIdle = false;
    enter("EditShiftZeroPNCh2", "5");
    panel->combo("ComboBoxWorkModePulseExitPNCh1")->setCurrentIndex(1);
    choose(0, 0);
    forget();
    form->LinkIdle = false;
    click("Image7_ENCh1");
    enter("EditLowLimitENCh1", "5");
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_FALSE(form->LinkIdle);
}

TEST_F(GeneralView, PartsFitTheirBox) {
    for (Variant v : Variants) {
        for (int ch = 0; ch < 2; ++ch) {
            GeneralParamBox* box = panel->box(v, ch);
            SCOPED_TRACE(box->objectName().toStdString());
            // Nothing overlaps, every caption fits inside the box.
            QList<QWidget*> parts;
            for (QWidget* w : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (!qobject_cast<ConditionPicture*>(w) || w->objectName().contains(u'_')) parts << w;
            for (QWidget* w : parts) {
                QRect r = w->geometry();
                if (auto* label = qobject_cast<QLabel*>(w))
                    r.setWidth(label->fontMetrics().horizontalAdvance(label->text()));
                EXPECT_TRUE(box->rect().adjusted(2, 2, -2, -2).contains(r)) << w->objectName().toStdString();
                for (QWidget* other : parts) {
                    QRect o = other->geometry();
                    if (auto* label = qobject_cast<QLabel*>(other))
                        o.setWidth(label->fontMetrics().horizontalAdvance(label->text()));
                    EXPECT_TRUE(other == w || !r.intersects(o))
                        << w->objectName().toStdString() << " " << other->objectName().toStdString();
                }
            }
        }
    }
}
