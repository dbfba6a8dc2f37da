#include "ui/errorbox.h"

#include "device/encodings.h"
#include "ui/fixeddialog.h"

#include <QMessageBox>

void showApplicationError(QWidget* parent, const QString& message) {
    QString text = message;
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.'))) text += QLatin1Char('.');
    // The run-time library titles its error box with the program's title.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Монитор КАСТАРИ-ДК"), text, QMessageBox::Ok,
                    parent);
    box.setObjectName(QStringLiteral("ApplicationError"));
    keepTitleWhole(box);
    box.exec();
}

std::optional<int> integerOrError(QWidget* parent, const QString& text) {
    const std::optional<std::int32_t> value = enc::parseInt(text);
    if (!value) showApplicationError(parent, enc::integerConversionError(text));
    return value;
}
