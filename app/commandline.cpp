#include "app/commandline.h"

namespace {

constexpr cmdline::Option Options[] = {
    cmdline::portMapOption("порт n (\"Comm n\") - любой порт системы, например\n"
                           "/dev/ttyUSB0 (по умолчанию /dev/ttyS(n-1)); можно повторять",
                           "--comm n=ПУТЬ"),
    {.help = "порт n - сервер последовательных устройств", .shown = "--comm n=tcp://УЗЕЛ:ПОРТ"},
    {.names = "fast",
     .help = "быстрое завершение ответа в этом запуске: ответ принимается,\n"
             "как только он получен целиком, без паузы 500 мс"},
    {.names = "help|h", .help = "эта справка"},
};

} // namespace

MonitorOptions readMonitorOptions(cmdline::CommandLine& line, const QStringList& arguments) {
    MonitorOptions options;
    // Whatever the table does not know belongs to the toolkit: only a --comm with nothing after it
    // is a fault of the line's form.
    if (!line.parse(arguments.mid(1))) options.errors << line.fault();
    options.errors << line.applyPortMap();
    options.help = line.isSet(QStringLiteral("help"));
    options.fast = line.isSet(QStringLiteral("fast"));
    return options;
}

MonitorOptions parseMonitorArguments(const QStringList& arguments) {
    cmdline::CommandLine line(Options, cmdline::CommandLine::Unknown::LeftToOthers);
    return readMonitorOptions(line, arguments);
}

QString monitorHelpText() {
    return QStringLiteral(
               "Использование: kastari-monitor [--comm n=ПУТЬ]... [--fast]\n"
               "\n"
               "Монитор КАСТАРИ-ДК: наблюдение и настройка расходомеров-счетчиков по последовательной\n"
               "линии (ModBus RTU). Настройки связи хранятся в файле Sens.cfg текущей папки.\n"
               "\n"
               "Параметры:\n") +
           cmdline::helpText(Options, 29);
}
