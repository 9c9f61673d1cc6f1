#include "reports/reportrenderer.h"

#include "core/clock.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/data_in.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace {

const QString FontFamily = QStringLiteral("WenQuanYi Micro Hei");

QString substitute(QString text, const QMap<QString, QString>& parameters) {
    static const QRegularExpression placeholder(QStringLiteral("\\{([A-Za-z0-9_]+)\\}"));
    QString out;
    qsizetype last = 0;
    auto it = placeholder.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last) + parameters.value(m.captured(1));
        last = m.capturedEnd();
    }
    return out + text.mid(last);
}

// A stored amount; nothing for an empty cell or a text that is no number.
std::optional<Currency> amount(const QVariant& value) {
    if (value.isNull() || value.toString().trimmed().isEmpty())
        return std::nullopt;
    try {
        return Currency::fromVariant(value);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

} // namespace

ReportSnapshot ReportSnapshot::take(const ReportDefinition& definition,
                                    const QMap<QString, QString>& parameters,
                                    const ReportProgress& progress) {
    if (!Data_in)
        throw LedgerError(QStringLiteral("数据模块未打开, 无法打印报表 %1").arg(definition.path));
    const SharedQuery* query = Data_in->reportSource(definition.source);
    if (!query)
        throw LedgerError(QStringLiteral("报表定义文件 %1 有误: 没有报表连接 \"%2\" (可用: %3)")
                              .arg(definition.path, definition.source,
                                   TData_in::reportConnections().join(QStringLiteral(", "))));
    return take(definition, *query, parameters, progress);
}

ReportSnapshot ReportSnapshot::take(const ReportDefinition& definition, const SharedQuery& query,
                                    const QMap<QString, QString>& parameters,
                                    const ReportProgress& progress) {
    ReportSnapshot s;
    s.definition = definition;
    s.title = substitute(definition.title, parameters);
    for (const ReportHeadItem& item : definition.head)
        if (!query.withheld().contains(item.parameter))
            s.head.append({item.label, parameters.value(item.parameter)});
    s.printed = Clock::format(Clock::now());

    const int rowCount = query.recordCount(); // throws when the list is closed
    // The columns of fields the list does not read for the one at the till (the cost prices)
    // are left out of the print, a line amount made of one of them too.
    const QStringList& withheld = query.withheld();
    s.definition.columns.removeIf([&withheld](const ReportColumn& c) {
        if (c.product.isEmpty())
            return withheld.contains(c.field);
        return withheld.contains(c.product.value(0)) || withheld.contains(c.product.value(1));
    });
    const QList<ReportColumn>& columns = s.definition.columns;
    const int n = int(columns.size());

    // Field positions, checked before anything is read.
    auto indexOf = [&](const QString& field) {
        const int index = query.fieldIndex(field);
        if (index < 0)
            throw LedgerError(QStringLiteral("报表定义文件 %1 有误: %2 没有字段 \"%3\"")
                                  .arg(definition.path, definition.source, field));
        return index;
    };
    QVector<int> field(n, -1), left(n, -1), right(n, -1);
    for (int c = 0; c < n; ++c) {
        if (columns[c].product.isEmpty()) {
            field[c] = indexOf(columns[c].field);
        } else {
            left[c] = indexOf(columns[c].product[0]);
            right[c] = indexOf(columns[c].product[1]);
        }
    }
    const QStringList& names = query.fields();

    QVector<Currency> totals(n);
    s.rows.reserve(rowCount);
    for (int r = 0; r < rowCount; ++r) {
        if (progress && r % 256 == 0 && !progress(r, rowCount))
            throw ReportCancelled();
        QStringList cells;
        cells.reserve(n);
        for (int c = 0; c < n; ++c) {
            if (field[c] >= 0) {
                const QVariant v = query.value(r, names[field[c]]);
                cells << SharedQuery::displayText(v);
                if (columns[c].sum)
                    if (auto a = amount(v))
                        totals[c] += *a;
            } else {
                const auto a = amount(query.value(r, names[left[c]]));
                const auto b = amount(query.value(r, names[right[c]]));
                if (a && b) {
                    const Currency product = *a * *b;
                    cells << product.toString();
                    if (columns[c].sum)
                        totals[c] += product;
                } else {
                    cells << QString();
                }
            }
        }
        s.rows.append(cells);
    }
    for (int c = 0; c < n; ++c)
        s.sums << (columns[c].sum ? totals[c].toString() : QString());
    return s;
}

void ReportRenderer::setUp(QPrinter& printer, const ReportDefinition& definition) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), definition.orientation,
                                      QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    printer.setDocName(definition.title);
    printer.setCreator(QStringLiteral("Vandrel 进销存"));
}

namespace {

// One laid-out page: its rows [first, end), and whether the totals close it.
struct Page {
    int first = 0;
    int end = 0;
    bool trailer = false;
};

class Layout {
public:
    Layout(QPrinter* printer, const ReportSnapshot& report)
        : m_report(report), m_cols(report.definition.columns) {
        const double dpi = printer->resolution();
        m_mm = dpi / 25.4;
        const QRectF paint = printer->pageLayout().paintRectPixels(int(dpi));
        m_width = paint.width();
        m_height = paint.height();

        const double size = report.definition.fontSize;
        m_body = font(size, false);
        m_bold = font(size, true);
        m_title = font(size + 7, true);
        m_headFont = font(size + 1, false);
        m_foot = font(std::max(6.0, size - 1), false);
        m_fmBody = std::make_unique<QFontMetricsF>(m_body, printer);
        m_fmBold = std::make_unique<QFontMetricsF>(m_bold, printer);
        const QFontMetricsF fmTitle(m_title, printer), fmHead(m_headFont, printer), fmFoot(m_foot, printer);

        m_padX = 1.2 * m_mm;
        m_padY = 0.9 * m_mm;
        double total = 0;
        for (const ReportColumn& c : m_cols)
            total += c.width;
        double x = 0;
        for (const ReportColumn& c : m_cols) {
            m_x << x;
            m_w << c.width / total * m_width;
            x += m_w.last();
        }

        m_titleH = report.title.isEmpty() ? 0 : fmTitle.height() * 1.6;
        m_headLineH = fmHead.height() * 1.6;
        m_headPerLine = m_report.head.size() > 4 ? 3 : std::max<int>(1, int(m_report.head.size()));
        m_headH =
            m_report.head.isEmpty()
                ? 0
                : m_headLineH * ((m_report.head.size() + m_headPerLine - 1) / m_headPerLine) + 1.5 * m_mm;
        m_footH = fmFoot.height() * 2.2;
        m_countH = m_report.definition.count ? m_fmBody->height() * 1.8 : 0;

        QStringList titles;
        for (const ReportColumn& c : m_cols)
            titles << c.title;
        m_headerRowH = rowHeight(titles, *m_fmBold);
        if (!report.figure.isEmpty()) {
            const QSizeF size = report.figure.size;
            const double room = (m_height - m_titleH - m_headH - m_footH) / 2;
            const double height = std::min(m_width * size.height() / size.width(), room);
            m_figure = QRectF(0, 0, height * size.width() / size.height(), height);
            m_figureH = height + 2 * m_mm;
        }
        paginate();
    }

    QFont font(double points, bool bold) const {
        QFont f(FontFamily);
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }

    // The width of a text in the row font, remembered: lists repeat the same texts (categories,
    // units, prices) over thousands of rows.
    double advance(const QFontMetricsF& fm, const QString& text) const {
        auto& cache = &fm == m_fmBody.get() ? m_bodyWidths : m_boldWidths;
        auto it = cache.constFind(text);
        if (it != cache.constEnd())
            return *it;
        const double w = fm.horizontalAdvance(text);
        cache.insert(text, w);
        return w;
    }

    // How a cell's text is drawn in its width: on one line when it fits, else wrapped at word
    // boundaries, else anywhere (a long run without break opportunities).
    int flags(const QFontMetricsF& fm, const QString& text, double width, double* height = nullptr) const {
        if (!text.contains(QLatin1Char('\n')) && advance(fm, text) <= width) {
            if (height)
                *height = fm.height();
            return Qt::TextSingleLine;
        }
        const QRectF room(0, 0, width, 1e6);
        QRectF r = fm.boundingRect(room, Qt::TextWordWrap, text);
        int f = Qt::TextWordWrap;
        if (r.width() > width + 0.5) {
            f = Qt::TextWrapAnywhere;
            r = fm.boundingRect(room, f, text);
        }
        if (height)
            *height = r.height();
        return f;
    }

    double rowHeight(const QStringList& cells, const QFontMetricsF& fm) const {
        double h = fm.height();
        for (int c = 0; c < cells.size() && c < m_w.size(); ++c) {
            double ch = 0;
            flags(fm, cells[c], m_w[c] - 2 * m_padX, &ch);
            h = std::max(h, ch);
        }
        return h + 2 * m_padY;
    }

    double bodyTop(int page) const { return m_titleH + (page == 0 ? m_headH + m_figureH : 0) + m_headerRowH; }
    double bodyBottom() const { return m_height - m_footH; }

    void paginate() {
        const int n = int(m_report.rows.size());
        m_rowH.resize(n);
        Page page;
        double y = bodyTop(0);
        for (int r = 0; r < n; ++r) {
            // A row never outgrows a page, the first one with its head included (a very long
            // remark is cut at the page's end).
            const double h = std::min(rowHeight(m_report.rows[r], *m_fmBody), bodyBottom() - bodyTop(0));
            m_rowH[r] = h;
            if (y + h > bodyBottom() && page.end > page.first) {
                m_pages.append(page);
                page = Page{r, r, false};
                y = bodyTop(int(m_pages.size()));
            }
            y += h;
            page.end = r + 1;
        }
        const double trailer = sumRowHeight() + m_countH;
        if (trailer > 0 && y + trailer > bodyBottom() && page.end > page.first) {
            m_pages.append(page);
            page = Page{n, n, false};
        }
        page.trailer = true;
        m_pages.append(page);
    }

    double sumRowHeight() const {
        return m_report.definition.hasSums() ? rowHeight(m_report.sums, *m_fmBold) + 0.6 * m_mm : 0;
    }

    void drawCell(QPainter& p, const QFontMetricsF& fm, int c, double y, double h,
                  const QString& text) const {
        if (text.isEmpty())
            return;
        const double w = m_w[c] - 2 * m_padX;
        const Qt::Alignment align = m_cols[c].align;
        const double width = text.contains(QLatin1Char('\n')) ? w + 1 : advance(fm, text);
        if (width <= w) {
            // The common case, drawn at a computed point: much quicker than laying out a box.
            double x = m_x[c] + m_padX;
            if (align & Qt::AlignRight)
                x += w - width;
            else if (align & Qt::AlignHCenter)
                x += (w - width) / 2;
            p.drawText(QPointF(x, y + (h - fm.height()) / 2 + fm.ascent()), text);
            return;
        }
        const QRectF box(m_x[c] + m_padX, y + m_padY, w, h - 2 * m_padY);
        p.save();
        p.setClipRect(box.adjusted(-m_padX, -m_padY, m_padX, m_padY));
        double textHeight = 0;
        const int wrap = flags(fm, text, w, &textHeight);
        p.drawText(box, int(align) | (textHeight > box.height() ? Qt::AlignTop : Qt::AlignVCenter) | wrap,
                   text);
        p.restore();
    }

    void drawHeaderRow(QPainter& p, double y) const {
        const QRectF band(0, y, m_width, m_headerRowH);
        p.fillRect(band, QColor(228, 232, 238));
        p.setPen(QPen(Qt::black, 0.25 * m_mm));
        p.drawLine(band.topLeft(), band.topRight());
        p.drawLine(band.bottomLeft(), band.bottomRight());
        p.setFont(m_bold);
        for (int c = 0; c < m_cols.size(); ++c) {
            const double w = m_w[c] - 2 * m_padX;
            p.drawText(QRectF(m_x[c] + m_padX, y + m_padY, w, m_headerRowH - 2 * m_padY),
                       Qt::AlignHCenter | Qt::AlignVCenter | flags(*m_fmBold, m_cols[c].title, w),
                       m_cols[c].title);
        }
    }

    void drawPage(QPainter& p, int index) const {
        const Page& page = m_pages[index];
        double y = 0;
        if (m_titleH > 0) {
            p.setFont(m_title);
            p.setPen(Qt::black);
            p.drawText(QRectF(0, 0, m_width, m_titleH),
                       Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, m_report.title);
            y = m_titleH;
        }
        if (index == 0 && m_headH > 0) {
            p.setFont(m_headFont);
            const double cellW = m_width / m_headPerLine;
            for (int i = 0; i < m_report.head.size(); ++i) {
                const auto& [label, value] = m_report.head[i];
                const QRectF cell((i % m_headPerLine) * cellW, y + (i / m_headPerLine) * m_headLineH, cellW,
                                  m_headLineH);
                p.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                           label.isEmpty() ? value : label + QStringLiteral(": ") + value);
            }
            y += m_headH;
        }
        if (index == 0 && m_figureH > 0) {
            // The figure centred across the page.
            p.save();
            m_report.figure.paint(&p, QRectF(QPointF((m_width - m_figure.width()) / 2, y), m_figure.size()));
            p.restore();
            y += m_figureH;
        }
        drawHeaderRow(p, y);
        y += m_headerRowH;

        p.setFont(m_body);
        const QPen rule(QColor(170, 170, 170), 0.1 * m_mm);
        for (int r = page.first; r < page.end; ++r) {
            const double h = m_rowH[r];
            p.setPen(Qt::black);
            for (int c = 0; c < m_cols.size(); ++c)
                drawCell(p, *m_fmBody, c, y, h, m_report.rows[r][c]);
            y += h;
            p.setPen(rule);
            p.drawLine(QPointF(0, y), QPointF(m_width, y));
        }

        if (page.trailer) {
            if (m_report.definition.hasSums()) {
                const double h = sumRowHeight();
                p.setPen(QPen(Qt::black, 0.25 * m_mm));
                p.drawLine(QPointF(0, y), QPointF(m_width, y));
                p.setFont(m_bold);
                QStringList cells = m_report.sums;
                if (cells.first().isEmpty())
                    cells.first() = QStringLiteral("合计");
                for (int c = 0; c < m_cols.size(); ++c)
                    drawCell(p, *m_fmBold, c, y, h, cells[c]);
                y += h;
                p.drawLine(QPointF(0, y), QPointF(m_width, y));
            }
            if (m_countH > 0) {
                p.setFont(m_body);
                p.setPen(Qt::black);
                p.drawText(QRectF(0, y, m_width, m_countH),
                           Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                           QStringLiteral("共 %1 条记录").arg(m_report.rows.size()));
            }
        }

        // Footer: print date and page number.
        const QRectF foot(0, m_height - m_footH, m_width, m_footH);
        p.setPen(QPen(QColor(90, 90, 90), 0.15 * m_mm));
        p.drawLine(foot.topLeft() + QPointF(0, 0.5 * m_mm), foot.topRight() + QPointF(0, 0.5 * m_mm));
        p.setFont(m_foot);
        p.setPen(Qt::black);
        p.drawText(foot, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine,
                   QStringLiteral("打印日期: ") + m_report.printed);
        p.drawText(foot, Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine,
                   QStringLiteral("第 %1 页 / 共 %2 页").arg(index + 1).arg(m_pages.size()));
    }

    int pageCount() const { return int(m_pages.size()); }

private:
    const ReportSnapshot& m_report;
    const QList<ReportColumn>& m_cols;
    double m_mm = 1, m_width = 0, m_height = 0, m_padX = 0, m_padY = 0;
    QFont m_body, m_bold, m_title, m_headFont, m_foot;
    std::unique_ptr<QFontMetricsF> m_fmBody, m_fmBold;
    mutable QHash<QString, double> m_bodyWidths, m_boldWidths;
    QVector<double> m_x, m_w, m_rowH;
    QRectF m_figure;
    double m_figureH = 0;
    double m_titleH = 0, m_headLineH = 0, m_headH = 0, m_footH = 0, m_countH = 0, m_headerRowH = 0;
    int m_headPerLine = 1;
    QList<Page> m_pages;
};

} // namespace

int ReportRenderer::paint(QPrinter* printer, const ReportSnapshot& report, const ReportProgress& progress) {
    const Layout layout(printer, report);
    QPainter painter;
    if (!painter.begin(printer))
        throw LedgerError(printer->outputFileName().isEmpty()
                              ? QStringLiteral("打印机无法开始打印")
                              : QStringLiteral("无法写入文件: %1").arg(printer->outputFileName()));
    for (int i = 0; i < layout.pageCount(); ++i) {
        if (progress && !progress(i, layout.pageCount())) {
            painter.end();
            throw ReportCancelled();
        }
        if (i > 0)
            printer->newPage();
        layout.drawPage(painter, i);
    }
    painter.end();
    return layout.pageCount();
}
