#include "ui/panelcounters.h"

#include "ui/conditiondisplay.h"
#include "ui/fieldbuilder.h"
#include "ui/panelstyle.h"
#include "ui/placed.h"
#include "ui/tag.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

using namespace counters;

namespace {

constexpr int CaptionHeight = 16;
const QRect ChannelGroups[2] = {{8, 24, 321, 353}, {338, 24, 321, 353}};
const QRect VerificationGroup(8, 24, 650, 305);
// In a channel group.
const QRect ConditionPlace(16, 240, ConditionDisplay::Width, ConditionDisplay::Height);
const QRect ClearPlace(16, 312, 105, 25);
// In the verification group: the title, and the row of the imitator and the volume reset.
const QRect TitlePlace(0, 16, 650, 36);
const QRect ImitatorTextPlace(136, 244, 112, CaptionHeight);
const QRect ImitatorButtonPlace(248, 240, 80, 25);
const QRect ClearPovPlace(408, 240, 105, 25);

const QString Connect = QStringLiteral("Подключить");
const QString Disconnect = QStringLiteral("Отключить");

QString channelGroupName(int channel) {
    return channel == 2 ? QStringLiteral("GroupBox5") : QStringLiteral("GroupBox4");
}

} // namespace

PanelCounters::PanelCounters(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("PanelCounters"));
    setGeometry(Left, Top, Width, Height);
    panelstyle::applyTo(this);

    for (int channel : {1, 2}) {
        auto* box = placed<QGroupBox>(this, channelGroupName(channel), ChannelGroups[channel - 1],
                                      QStringLiteral("Канал %1").arg(channel));
        panelstyle::navy(box);
        m_groups.insert(box->objectName(), box);

        auto* display = new ConditionDisplay(QStringLiteral("GroupBoxConditionCh%1").arg(channel),
                                             QStringLiteral("ButtonBrouseCh%1").arg(channel), box);
        display->setGeometry(ConditionPlace);
        // The legend takes the channel from the button.
        tag::set(display->browseButton(), channel);
        m_conditions[channel - 1] = display;

        QPushButton* clear = addButton(QStringLiteral("ButtonClearVCh%1").arg(channel),
                                       QStringLiteral("Сброс объема"), box, ClearPlace);
        tag::set(clear, commandRegister(channel));
        box->hide();
    }

    auto* verification = placed<QGroupBox>(this, "GroupBox2", {VerificationGroup});
    m_groups.insert(verification->objectName(), verification);
    QLabel* title = addText(QStringLiteral("Label1"), QStringLiteral("Поверка"), verification, TitlePlace);
    QFont big = title->font();
    big.setPointSizeF(16);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    panelstyle::navy(title);
    // The imitator's two texts share one place; at most one shows.
    addText(QStringLiteral("StaticTextIMREnabled"), QStringLiteral("Имитатор подключен"), verification,
            ImitatorTextPlace)
        ->hide();
    addText(QStringLiteral("StaticTextIMRDisabled"), QStringLiteral("Имитатор отключен"), verification,
            ImitatorTextPlace)
        ->hide();
    QPushButton* imitator =
        addButton(QStringLiteral("ButtonIMR"), Connect, verification, ImitatorButtonPlace);
    tag::set(imitator, 1);
    connect(imitator, &QPushButton::clicked, this, &PanelCounters::simulatorClicked);
    addButton(QStringLiteral("ButtonClearV"), QStringLiteral("Сброс объема"), verification, ClearPovPlace);
    verification->hide();

    for (const QString& name : {QStringLiteral("ButtonClearVCh1"), QStringLiteral("ButtonClearVCh2"),
                                QStringLiteral("ButtonClearV")})
        connect(button(name), &QPushButton::clicked, this, [this, name] { emit clearVolumeClicked(name); });

    m_fields = new FieldBuilder(this);
    for (const Row& r : rows()) {
        const int channels = r.where.group == Group::Channel ? 2 : 1;
        for (int channel = 1; channel <= channels; ++channel) {
            const QString name = counters::objectName(r, channel);
            m_fields->build(r.field, parentFor(r.where.group, channel), name,
                            param::registerFor(r.field, channel));
            QLabel* caption = m_fields->caption(name);
            m_labels.insert(caption->objectName(), caption);
        }
    }
    connect(m_fields, &FieldBuilder::typing, this, &PanelCounters::shiftZeroKeyPressed);
    connect(m_fields, &FieldBuilder::committed, this, &PanelCounters::shiftZeroCommitted);
    connect(m_fields, &FieldBuilder::chosen, this,
            [this](const QString&, int index) { emit pulseModeChosen(index); });
    hide();
}

QWidget* PanelCounters::parentFor(Group g, int channel) {
    switch (g) {
    case Group::Panel:
        return this;
    case Group::Channel:
        return group(channelGroupName(channel));
    case Group::Verification:
        return group(QStringLiteral("GroupBox2"));
    }
    return nullptr;
}

QPushButton* PanelCounters::addButton(const QString& name, const QString& caption, QWidget* parent,
                                      const QRect& place) {
    auto* b = placed<QPushButton>(parent, name, place, caption);
    b->setAutoDefault(false);
    m_buttons.insert(name, b);
    return b;
}

QLabel* PanelCounters::addText(const QString& name, const QString& text, QWidget* parent,
                               const QRect& place) {
    auto* label = placed<QLabel>(parent, name, place, text);
    label->setTextFormat(Qt::PlainText);
    m_labels.insert(name, label);
    return label;
}

void PanelCounters::fill(Group g, const RegisterBlock& data, int channel) {
    for (const Row& r : rows()) {
        if (r.where.group != g) continue;
        const QString name = counters::objectName(r, channel);
        if (r.field.chooses())
            m_fields->fill(r.field, name, param::registerFor(r.field, channel), data);
        else if (const auto text = fieldText(r, data, channel))
            edit(name)->setText(*text);
    }
}

QLineEdit* PanelCounters::edit(const QString& name) const {
    return m_fields->edit(name);
}

QComboBox* PanelCounters::combo(const QString& name) const {
    return m_fields->combo(name);
}

void PanelCounters::setLayoutVisible(Layout layout, bool visible) {
    if (layout == Layout::Verification) {
        group(QStringLiteral("GroupBox2"))->setVisible(visible);
        return;
    }
    for (int channel : {1, 2})
        group(channelGroupName(channel))->setVisible(visible);
}

bool PanelCounters::layoutVisible(Layout layout) const {
    return group(layout == Layout::Verification ? QStringLiteral("GroupBox2") : channelGroupName(1))
        ->isVisibleTo(this);
}

void PanelCounters::showSimulator(bool connected) {
    label(QStringLiteral("StaticTextIMREnabled"))->setVisible(connected);
    label(QStringLiteral("StaticTextIMRDisabled"))->setVisible(!connected);
    QPushButton* imitator = button(QStringLiteral("ButtonIMR"));
    imitator->setText(connected ? Disconnect : Connect);
    tag::set(imitator, connected ? 0 : 1);
}
