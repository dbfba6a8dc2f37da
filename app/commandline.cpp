#include "app/commandline.h"

#include "link/portmap.h"

#include <QCommandLineParser>

namespace {
const QString Comm = QStringLiteral("comm");
const QString Fast = QStringLiteral("fast");
const QString Help = QStringLiteral("help");
} // namespace

void addMonitorOptions(QCommandLineParser& parser) {
    // One dash or two alike, and never a bundle of letters: the toolkit's "-stylesheet" must not
    // read as "-s -t -y ... -h" and answer with the help.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption(Comm, QString(), QStringLiteral("n=PATH")));
    parser.addOption(QCommandLineOption(Fast));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), Help}));
}

MonitorOptions readMonitorOptions(QCommandLineParser& parser, const QStringList& arguments) {
    MonitorOptions options;
    // Whatever the parser does not know belongs to the toolkit, so its verdict is not ours: only a
    // --comm with nothing after it is, which the parser would pass over.
    parser.parse(arguments);
    const qsizetype last = arguments.size() - 1;
    if (last > 0 && (arguments[last] == QLatin1String("--comm") || arguments[last] == QLatin1String("-comm")))
        options.errors.append(QString::fromLatin1(PortMap::MissingValue));
    for (const QString& value : parser.values(Comm)) {
        if (const auto complaint = PortMap::assign(value)) options.errors.append(*complaint);
    }
    options.help = parser.isSet(Help);
    options.fast = parser.isSet(Fast);
    return options;
}

MonitorOptions parseMonitorArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    addMonitorOptions(parser);
    return readMonitorOptions(parser, arguments);
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
