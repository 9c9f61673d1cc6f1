// vandrel-ledger-import FOLDER products|members FILE [--good-rows-only]: adds the products or
// members of an Excel or CSV file to a working folder, as the pages' import does.
#include "core/commandline.h"
#include "ledger/importing.h"
#include "toolfolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("vandrel-ledger-import"));
    app.setApplicationVersion(QStringLiteral(LEDGER_VERSION));
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral(
            "从 Excel (.xlsx) 或 CSV 文件（UTF-8 或 GB18030）导入产品或会员。第一行是列标题（与表格相同）。\n"
            "先检查每一行；有任何问题时列出每个问题（行、列、原因）并且不写入任何数据，除非使用 "
            "--good-rows-only。\n"
            "Imports products or members from an Excel (.xlsx) or CSV file (UTF-8 or GB18030) whose first "
            "row holds the grid's column titles. Every row is checked first; when any row has a problem, "
            "each problem is printed (row, column, why) and nothing is written, unless --good-rows-only."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("账本所在文件夹 / the working folder"));
    parser.addPositionalArgument(QStringLiteral("KIND"), QStringLiteral("products 或 members"));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral(".xlsx 或 .csv 文件"));
    const QCommandLineOption goodOnly(
        QStringLiteral("good-rows-only"),
        QStringLiteral("只导入没有问题的行 / import only the rows without problems"));
    parser.addOption(goodOnly);
    if (const int status = CommandLine::read(parser, 3, 3); status >= 0)
        return status;

    auto fail = [](const QString& text, int code) {
        std::fprintf(stderr, "vandrel-ledger-import: %s\n", text.toUtf8().constData());
        return code;
    };
    const QStringList args = parser.positionalArguments();
    if (args.size() != 3)
        return fail(QStringLiteral("需要 FOLDER products|members FILE（见 --help）"), 2);
    Importing::Kind kind;
    if (args[1] == QLatin1String("products"))
        kind = Importing::Kind::Products;
    else if (args[1] == QLatin1String("members"))
        kind = Importing::Kind::Members;
    else
        return fail(QStringLiteral("只能导入 products 或 members"), 2);
    try {
        ToolFolder::open(args[0], true, ToolFolder::OnServer::Open);
        const Importing::Plan plan = Importing::checkFile(kind, args[2]);
        for (const Importing::Problem& p : plan.problems)
            std::printf("%s\n", p.text().toUtf8().constData());
        if (plan.moreProblems > 0)
            std::printf("%s\n",
                        QStringLiteral("还有 %1 处问题未列出").arg(plan.moreProblems).toUtf8().constData());
        if (plan.hasProblems() && !parser.isSet(goodOnly))
            return fail(QStringLiteral("文件中有 %1 处问题，没有导入任何数据").arg(plan.problemCount()), 1);
        const int written = Importing::write(plan, true);
        const int skipped = int(plan.rows.size()) - written;
        std::printf("%s\n",
                    (QStringLiteral("已导入 %1 行").arg(written) +
                     (skipped > 0 ? QStringLiteral("，跳过 %1 行有问题的行").arg(skipped) : QString()))
                        .toUtf8()
                        .constData());
        std::fflush(stdout);
    } catch (const LedgerError& e) {
        ToolFolder::close();
        return fail(e.text(), 1);
    }
    // The rows are committed (in the log at least), so the import succeeded: a log that cannot be
    // written back yet is said, and the next open writes it back.
    if (const QString left = ToolFolder::close(); !left.isEmpty())
        fail(left, 0);
    return 0;
}
