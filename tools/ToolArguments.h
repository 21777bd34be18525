#pragma once

// How the command-line tools read their arguments: a QCommandLineParser with --help and
// --version, whose failures each tool words in its own usage message.

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace ToolArguments {

enum class Outcome {
    ok,            // the options are set in the parser
    answered,      // --help or --version was printed: exit with 0
    missingValue,  // `argument` is the option that ends the line without its value
    unknownOption, // `argument` is the option, with its dashes
    malformed,     // `argument` is the parser's own words
};

struct Parsed {
    Outcome outcome;
    QString argument;
};

inline Parsed parse(QCommandLineParser& parser)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(BIVARA_VERSION));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QStringList args = QCoreApplication::arguments();
    if (!parser.parse(args)) {
        if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
            return {Outcome::unknownOption, QStringLiteral("--") + unknown.first()};
        if (parser.errorText().startsWith(QLatin1String("Missing value"))) return {Outcome::missingValue, args.last()};
        return {Outcome::malformed, parser.errorText()};
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return {Outcome::answered, {}};
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return {Outcome::answered, {}};
    }
    return {Outcome::ok, {}};
}

}  // namespace ToolArguments
