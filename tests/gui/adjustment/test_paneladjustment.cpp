// The adjustment panel on its own: built from the map with its names, places and Tags, read-only
// display fields, the condition display's first state, and captions that neither overlap nor clip.
#include "ui/conditiondisplay.h"
#include "ui/paneladjustment.h"
#include "ui/updown.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace adjustment;

TEST(PanelAdjustmentLayout, ControlsFollowTheMap) {
    PanelAdjustment panel;
    EXPECT_TRUE(panel.isHidden());
    EXPECT_EQ(panel.geometry(), QRect(8, 24, 673, 457));
    auto check = [&](const char* name, const char* parent, const Place& p, int tag) {
        auto* w = panel.findChild<QWidget*>(QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        EXPECT_EQ(w->parentWidget()->objectName(), parent ? QString::fromLatin1(parent) : panel.objectName())
            << name;
        EXPECT_EQ(w->geometry(), QRect(p.x, p.y, p.width, p.height)) << name;
        EXPECT_EQ(w->property("Tag").isValid() ? w->property("Tag").toInt() : -1, tag) << name;
    };
    for (const Field& f : fields()) {
        check(f.name, f.parent, f.place, f.tag);
        if (QLineEdit* edit = panel.edit(QString::fromLatin1(f.name))) {
            EXPECT_EQ(edit->isReadOnly(), f.control == Control::DisplayOnly) << f.name;
        }
    }
    for (const UpDownSpec& u : upDowns())
        check(u.name, u.parent, u.place, u.tag);
    for (const ButtonSpec& b : buttons())
        check(b.name, b.parent, b.place, b.tag);
    EXPECT_FALSE(panel.button("ButtonShiftdTEnd")->isEnabled());
    EXPECT_EQ(panel.upDown("UpDownShiftWin")->orientation(), Qt::Horizontal);
    EXPECT_EQ(panel.upDown("UpDownShiftWin")->minimum(), -127);

    ConditionDisplay* display = panel.condition();
    EXPECT_EQ(display->geometry(), QRect(8, 8, 209, 49));
    EXPECT_EQ(display->title(), QString::fromUtf8(" Состояние канала "));
    EXPECT_EQ(display->normalText()->property("Tag").toInt(), 10);
    // Until the first read only "Отказ" shows.
    for (QWidget* w : std::initializer_list<QWidget*>{display->picture(), display->abnormalText(),
                                                      display->normalText(), display->browseButton()})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_FALSE(display->failureText()->isHidden());
}

TEST(PanelAdjustmentLayout, CaptionsNeitherOverlapNorClip) {
    PanelAdjustment panel;
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    const QList<QLabel*> labels = panel.findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (!label->isVisibleTo(&panel) || label->text().isEmpty()) continue;
        const QRect used(label->pos(),
                         QSize(label->fontMetrics().horizontalAdvance(label->text()), label->height()));
        EXPECT_LE(used.width(), label->width()) << label->text().toStdString();
        for (QWidget* other : label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other == label || !other->isVisibleTo(&panel)) continue;
            EXPECT_FALSE(used.intersects(other->geometry()))
                << label->text().toStdString() << " / " << other->objectName().toStdString();
        }
    }
}
