// vandrel-ledger-export FOLDER LIST -o FILE [--format xlsx|csv] [--search TEXT]: writes one list of
// a working folder to an Excel or CSV file, as the list's page exports it.
#include "core/commandline.h"
#include "data/listdefinitions.h"
#include "data/spreadsheet.h"
#include "ledger/exporting.h"
#include "toolfolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

QString listHelp() {
    QString text = QStringLiteral("LIST 可以是 / LIST is one of:\n");
    for (const ListDefinition& list : ListDefinitions::all())
        text += QStringLiteral("  %1  %2\n").arg(list.name, -10).arg(list.description);
    return text;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral("把账本中的一个列表导出为 Excel (.xlsx) 或 CSV 文件，列与页面上的表格相同。\n"
                       "Exports one list of the ledger in FOLDER to an Excel (.xlsx) or CSV file, with "
                       "the columns of its page.\n\n") +
            listHelp());
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("账本所在文件夹 / the working folder"));
    parser.addPositionalArgument(QStringLiteral("LIST"), QStringLiteral("要导出的列表 / the list to export"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("文件格式，默认按文件名 / file format: xlsx or csv (default: the file name's suffix)"),
        QStringLiteral("FORMAT"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("写入的文件 / the file to write"), QStringLiteral("FILE"));
    const QCommandLineOption search(
        QStringLiteral("search"), QStringLiteral("只导出搜索框会列出的行 / only the rows this search lists"),
        QStringLiteral("TEXT"));
    parser.addOptions({format, output, search});
    if (const int status = CommandLine::read(parser, 2, 2); status >= 0)
        return status;

    auto fail = [](const QString& text, int code) {
        std::fprintf(stderr, "vandrel-ledger-export: %s\n", text.toUtf8().constData());
        return code;
    };
    const QStringList args = parser.positionalArguments();
    if (args.size() != 2 || !parser.isSet(output))
        return fail(QStringLiteral("需要 FOLDER LIST -o FILE [--format xlsx|csv]（见 --help）"), 2);
    const ListDefinition* list = ListDefinitions::find(args[1]);
    if (!list)
        return fail(QStringLiteral("没有名为 %1 的列表 / no list named %1\n").arg(args[1]) + listHelp(), 2);
    // Without --format, the file name's suffix tells.
    const QString formatName = parser.isSet(format) ? parser.value(format).toLower()
                                                    : QFileInfo(parser.value(output)).suffix().toLower();
    Spreadsheet::Format chosen;
    if (formatName == QLatin1String("xlsx"))
        chosen = Spreadsheet::Format::Xlsx;
    else if (formatName == QLatin1String("csv"))
        chosen = Spreadsheet::Format::Csv;
    else if (parser.isSet(format))
        return fail(QStringLiteral("--format 只能是 xlsx 或 csv"), 2);
    else
        return fail(QStringLiteral("无法从文件名看出格式，请用 --format xlsx 或 csv"), 2);
    try {
        ToolFolder::open(args[0], false, ToolFolder::OnServer::Open);
        const qint64 rows = Exporting::writeList(*list, parser.value(search), parser.value(output), chosen);
        std::printf("%lld\n", static_cast<long long>(rows));
    } catch (const LedgerError& e) {
        return fail(e.text(), 1);
    }
    return 0;
}
