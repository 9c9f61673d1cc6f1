#include "core/commandline.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

#ifndef LEDGER_VERSION
#error "LEDGER_VERSION is set by the build"
#endif

QString CommandLine::version() {
    return QStringLiteral(LEDGER_VERSION);
}

void CommandLine::prepare(QCommandLineParser& parser, const QString& description) {
    QCoreApplication::setApplicationVersion(version());
    parser.setApplicationDescription(description);
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("显示本说明 / show this help")));
    parser.addOption(QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                                        QStringLiteral("显示版本 / show the version")));
}

namespace {

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

} // namespace

int CommandLine::read(QCommandLineParser& parser, int least, int most) {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (!parser.parse(QCoreApplication::arguments())) {
        print(stderr, QStringLiteral("%1: %2\n\n%3").arg(name, parser.errorText(), parser.helpText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print(stdout, parser.helpText());
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(stdout, QStringLiteral("%1 %2\n").arg(name, version()));
        return 0;
    }
    const qsizetype count = parser.positionalArguments().size();
    if (count < least || count > most) {
        print(stderr, QStringLiteral("%1: %2\n\n%3")
                          .arg(name,
                               count < least ? QStringLiteral("缺少参数 / missing argument")
                                             : QStringLiteral("参数过多 / too many arguments"),
                               parser.helpText()));
        return 2;
    }
    return -1;
}
