#include "app/commandline.h"

#include "link/portmap.h"

MonitorOptions parseMonitorArguments(const QStringList& arguments) {
    MonitorOptions options;
    const QStringList rest = PortMap::takeOptions(arguments, &options.errors);
    options.help = rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h"));
    options.fast = rest.contains(QStringLiteral("--fast"));
    const qsizetype shots = rest.indexOf(QStringLiteral("--screenshots"));
    if (shots >= 0 && shots + 1 < rest.size()) options.screenshotDir = rest[shots + 1];
    return options;
}

QString monitorHelpText() {
    return QStringLiteral(
        "Использование: kastari-monitor [--comm n=ПУТЬ]... [--fast]\n"
        "\n"
        "Монитор КАСТАРИ-ДК: наблюдение и настройка расходомеров-счетчиков по последовательной\n"
        "линии (ModBus RTU). Настройки связи хранятся в файле Sens.cfg текущей папки.\n"
        "\n"
        "Параметры:\n"
        "  --comm n=ПУТЬ              порт n (\"Comm n\") - любой порт системы, например\n"
        "                             /dev/ttyUSB0 (по умолчанию /dev/ttyS(n-1)); можно повторять\n"
        "  --comm n=tcp://УЗЕЛ:ПОРТ   порт n - сервер последовательных устройств\n"
        "  --fast                     быстрое завершение ответа в этом запуске: ответ принимается,\n"
        "                             как только он получен целиком, без паузы 500 мс\n"
        "  --help, -h                 эта справка\n");
}
