#include "link/optiontable.h"

#include "link/portmap.h"

#include <QTextStream>
#include <cstdio>

namespace cmdline {

namespace {

QStringList namesOf(const Option& o) {
    return o.names ? QString::fromLatin1(o.names).split(u'|') : QStringList{};
}

QString dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

bool Option::takes(const QString& text) const {
    if (text.isEmpty() && refuseEmpty) return false;
    if (min <= max) {
        bool ok = false;
        const long long v = text.toLongLong(&ok, base);
        if (!ok || v < min || v > max) return false;
    }
    if (choices && !QString::fromLatin1(choices).split(u'|').contains(text)) return false;
    return !accepts || accepts(text);
}

CommandLine::CommandLine(std::span<const Option> options, Unknown unknown)
    : m_options(options), m_unknown(unknown) {
    // -v and -h are the only one-letter options there are, and "-rts" typed for "--rts" should be
    // reported whole rather than as three unknown letters.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Option& o : options) {
        if (!o.names) continue;
        QCommandLineOption option(namesOf(o));
        if (o.value && !o.optionalValue) option.setValueName(QString::fromLatin1(o.value));
        m_parser.addOption(option);
    }
}

const Option* CommandLine::find(const QString& name) const {
    for (const Option& o : m_options)
        if (namesOf(o).contains(name)) return &o;
    return nullptr;
}

// QCommandLineParser names a fault without the option's dashes and in its own words, and takes "--"
// for the end of the options, which these programs have always refused: the line is walked here
// the way the parser walks it, to say the first fault as the user typed it.
QString CommandLine::firstFault(const QStringList& args) const {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(u'-') || a == u"-") continue;
        const QString body = a.mid(a.startsWith(u"--") ? 2 : 1);
        const qsizetype eq = body.indexOf(u'=');
        const Option* o = a == u"--" ? nullptr : find(eq < 0 ? body : body.left(eq));
        const bool takesValue = o && o->value && !o->optionalValue;
        if (!o || (eq >= 0 && !o->value)) {
            if (m_unknown == Unknown::LeftToOthers) continue;
            return QStringLiteral("unknown option %1").arg(a);
        }
        if (takesValue && eq < 0 && ++i >= args.size())
            return o->refusal ? QString::fromUtf8(o->refusal) : QStringLiteral("%1 needs a value").arg(a);
    }
    return {};
}

bool CommandLine::parse(const QStringList& args) {
    // The parser knows no value that may be left out: "--modem=BUSY" is split off before it looks.
    QStringList line{QStringLiteral("program")};
    m_optionalValues.clear();
    for (const QString& a : args) {
        const Option* o = a.startsWith(u"--") ? find(a.mid(2).section(u'=', 0, 0)) : nullptr;
        if (o && o->optionalValue && a.contains(u'=')) {
            const QString name = namesOf(*o).first();
            m_optionalValues.insert(name, a.section(u'=', 1));
            line << QStringLiteral("--") + name;
        } else {
            line << a;
        }
    }
    // Parsed even when it is faulty, so that --help is seen anywhere on the line.
    const bool parsed = m_parser.parse(line);
    m_fault = firstFault(args);
    if (m_fault.isEmpty() && !parsed && m_unknown == Unknown::Refused)
        m_fault = m_parser.errorText(); // not expected after the walk
    if (m_fault.isEmpty()) m_fault = firstRefusedValue();
    return m_fault.isEmpty();
}

QString CommandLine::firstRefusedValue() const {
    for (const Option& o : m_options) {
        if (!o.names || !o.value || o.optionalValue) continue;
        const QString name = namesOf(o).first();
        for (const QString& v : values(name)) {
            if (o.takes(v)) continue;
            return v.isEmpty() || !o.invalid ? refusal(name) : QString::fromUtf8(o.invalid);
        }
    }
    return {};
}

bool CommandLine::isSet(const QString& name) const {
    return m_parser.isSet(name);
}

QString CommandLine::value(const QString& name) const {
    if (m_optionalValues.contains(name)) return m_optionalValues.value(name);
    return m_parser.value(name);
}

QStringList CommandLine::values(const QString& name) const {
    return m_parser.values(name);
}

QString CommandLine::refusal(const QString& name) const {
    const Option* o = find(name);
    return o && o->refusal ? QString::fromUtf8(o->refusal) : QStringLiteral("--%1 needs a value").arg(name);
}

QStringList CommandLine::applyPortMap() const {
    QStringList problems;
    for (const QString& v : values(QStringLiteral("comm")))
        if (std::optional<QString> problem = PortMap::assign(v)) problems << *problem;
    return problems;
}

std::optional<int> CommandLine::parseOrAnswer(const QStringList& args, QString (*help)(),
                                              int (*usage)(const QString&)) {
    const QString helpName = QStringLiteral("help");
    if (!parse(args) && !isSet(helpName)) return usage(fault());
    if (isSet(helpName)) {
        standardOutput() << help();
        standardOutput().flush();
        return 0;
    }
    if (const QStringList problems = applyPortMap(); !problems.isEmpty()) return usage(problems.first());
    return std::nullopt;
}

QTextStream& standardOutput() {
    static QTextStream s(stdout);
    return s;
}

QTextStream& standardError() {
    static QTextStream s(stderr);
    return s;
}

void tellUsage(const char* program, const QString& message) {
    standardError() << program << ": " << message << "\nTry '" << program << " --help'.\n";
    standardError().flush();
}

QString helpEntry(const QString& syntax, const QString& text, int column) {
    QStringList lines = text.split(u'\n');
    const QString head = QStringLiteral("  ") + syntax;
    QString entry;
    if (lines.first().isEmpty())
        entry = head + u'\n';
    else
        entry = (head.size() < column ? head.leftJustified(column) : head + QStringLiteral("  ")) +
                lines.first() + u'\n';
    for (qsizetype i = 1; i < lines.size(); ++i)
        entry += QString(column, u' ') + lines[i] + u'\n';
    return entry;
}

QString helpText(std::span<const Option> options, int column) {
    QString text;
    for (const Option& o : options) {
        if (!o.help) continue;
        QString syntax = QString::fromUtf8(o.shown ? o.shown : "");
        if (!o.shown) {
            const QStringList names = namesOf(o);
            syntax = dashed(names.first());
            if (o.value)
                syntax += (o.optionalValue ? QStringLiteral("[=%1]") : QStringLiteral(" %1")).arg(o.value);
            for (qsizetype i = 1; i < names.size(); ++i)
                syntax += QStringLiteral(", ") + dashed(names[i]);
        }
        text += helpEntry(syntax, QString::fromUtf8(o.help), column);
    }
    return text;
}

} // namespace cmdline
