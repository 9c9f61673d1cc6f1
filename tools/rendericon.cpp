// rendericon SVG OUTFOLDER SIZE...: renders the program's icon into OUTFOLDER/SIZExSIZE/apps/NAME.png
// for each size, the PNG sizes of the icon theme, at build time. Uses Qt's SVG image plugin.
#include "core/commandline.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <cstdio>

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(parser, QStringLiteral("把程序图标的 SVG 绘制成图标主题所需的各个尺寸的 PNG。\n"
                                                "Renders the program's SVG icon into the PNG sizes of the "
                                                "icon theme: OUTFOLDER/SIZExSIZE/apps/NAME.png."));
    parser.addPositionalArgument(QStringLiteral("SVG"), QStringLiteral("图标 / the icon"));
    parser.addPositionalArgument(QStringLiteral("OUTFOLDER"),
                                 QStringLiteral("输出文件夹 / the output folder"));
    parser.addPositionalArgument(QStringLiteral("SIZE"), QStringLiteral("像素尺寸 / sizes in pixels"),
                                 QStringLiteral("SIZE..."));
    if (const int status = CommandLine::read(parser, 3, 100); status >= 0)
        return status;
    const QStringList args = parser.positionalArguments();
    const QString name = QFileInfo(args[0]).completeBaseName() + QStringLiteral(".png");
    for (const QString& text : args.mid(2)) {
        const int size = text.toInt();
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "rendericon: '%s' is no size\n", text.toLocal8Bit().constData());
            return 2;
        }
        QImageReader reader(args[0], "svg");
        reader.setScaledSize(QSize(size, size));
        const QImage image = reader.read();
        const QDir out(QDir(args[1]).filePath(QStringLiteral("%1x%1/apps").arg(size)));
        if (image.isNull() || !QDir().mkpath(out.path()) || !image.save(out.filePath(name), "PNG")) {
            std::fprintf(stderr, "rendericon: %s: %s\n", args[0].toLocal8Bit().constData(),
                         reader.errorString().toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
