// The adjustment panel on its own: captions that neither overlap nor clip.
#include "ui/paneladjustment.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

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
