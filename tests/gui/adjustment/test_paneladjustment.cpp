// The adjustment panel on its own: built from the map with its names, places and Tags, read-only
// display fields, the condition display's first state, and captions that neither overlap nor clip.
#include "ui/conditiondisplay.h"
#include "ui/paneladjustment.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace adjustment;

TEST(PanelAdjustmentLayout, DisplayFieldsAndFirstStates) {
    PanelAdjustment panel;
    EXPECT_TRUE(panel.isHidden());
    for (const Field& f : fields()) {
        if (QLineEdit* edit = panel.edit(QString::fromLatin1(f.name))) {
            EXPECT_EQ(edit->isReadOnly(), f.control == Control::DisplayOnly) << f.name;
        }
    }
    EXPECT_FALSE(panel.button("ButtonShiftdTEnd")->isEnabled());
    ConditionDisplay* display = panel.condition();
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
