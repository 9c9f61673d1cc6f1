#pragma once

#include <QCommandLineParser>
#include <QString>

// The command line every executable of the ledger shares: a description in Chinese and English,
// -h/--help and -v/--version, and how the end of the reading is told to main().
//
//     QCoreApplication app(argc, argv);
//     QCommandLineParser parser;
//     CommandLine::prepare(parser, "把……写入文件夹。\nWrites ... into FOLDER.");
//     parser.addPositionalArgument("FOLDER", "工作文件夹 / the working folder");
//     if (const int status = CommandLine::read(parser, 1, 1); status >= 0)
//         return status; // help or version shown (0), or a wrong argument told (2)
//     const QString folder = parser.positionalArguments().at(0);
namespace CommandLine {

// The program's version, the project's version in the build.
QString version();

// Sets the application's version and the description, adds -h/--help and -v/--version.
void prepare(QCommandLineParser& parser, const QString& description);

// Reads the application's arguments. Returns -1 when the tool goes on; 0 after printing the help
// or the version on standard output; 2 after telling a wrong option or a wrong number of
// arguments (between least and most) on standard error, with the usage.
int read(QCommandLineParser& parser, int least, int most);

} // namespace CommandLine
