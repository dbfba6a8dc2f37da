#include "dialogscreenshots.h"

#include "ui/radiogroup.h"
#include "ui/tform17.h"
#include "ui/tform20.h"
#include "ui/tform3.h"
#include "ui/tform4.h"
#include "ui/tform6.h"
#include "ui/tform7.h"
#include "ui/tform8.h"
#include "ui/tform9.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

namespace {

bool save(QWidget& dialog, const QString& dir, const QString& name, QStringList& written) {
    dialog.show();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(name);
    const bool ok = dialog.grab().save(path, "PNG");
    dialog.hide();
    if (ok) written << path;
    return ok;
}

} // namespace

QStringList saveDialogScreenshots(const QString& dir) {
    QStringList written;
    QDir().mkpath(dir);

    TForm3 scan;
    scan.prepare();
    scan.addDevice(1, QStringLiteral("9600"), QStringLiteral("КАСТАРИ-ДК   v2.1"));
    scan.addDevice(7, QStringLiteral("9600"), QStringLiteral("КАСТАРИ-ДК   v2.1"));
    scan.setProgress(64);
    save(scan, dir, QStringLiteral("form3-scan.png"), written);

    TForm4 settings;
    LinkSettings link;
    link.Settings = QStringLiteral("9600,n,8,1");
    link.CommPort = 1;
    link.UseModem = true;
    link.ModemInitString = QStringLiteral("AT&F");
    link.DialPrefix = QStringLiteral("ATDP");
    link.PhoneNumber = QStringLiteral("2345678");
    link.ModemDelay = 60;
    settings.fill(link);
    save(settings, dir, QStringLiteral("form4-settings.png"), written);

    TForm6 legend;
    legend::Markers lit;
    lit.failures[0] = lit.failures[2] = true;
    lit.conditions[3] = lit.conditions[6] = lit.conditions[7] = true;
    lit.twoBeamRows = true;
    legend.showMarkers(lit);
    save(legend, dir, QStringLiteral("form6-legend.png"), written);

    TForm7 period;
    period.setPeriodMs(10000);
    save(period, dir, QStringLiteral("form7-period.png"), written);

    TForm8 choice;
    choice.EditAddr->setText(QStringLiteral("5"));
    choice.ComboBoxSpeed->setCurrentIndex(choice.ComboBoxSpeed->findText(QStringLiteral("9600")));
    save(choice, dir, QStringLiteral("form8-device.png"), written);

    TForm9 error;
    error.setMessage(TForm9::Message::InvalidValues);
    save(error, dir, QStringLiteral("form9-invalid.png"), written);
    error.setMessage(TForm9::Message::DeviceNotFound);
    save(error, dir, QStringLiteral("form9-notfound.png"), written);

    TForm17 quit;
    save(quit, dir, QStringLiteral("form17-quit.png"), written);

    TForm20 modem;
    modem.LabelMsg->setText(QStringLiteral("Удаленный модем не отвечает!"));
    save(modem, dir, QStringLiteral("form20-modem.png"), written);
    return written;
}
