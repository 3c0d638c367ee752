// Cost of writing a large report through the automation layer, against the
// same workbook written with libxlsxwriter alone. Each phase runs in child
// processes of its own, so that its peak memory is its own; the two take
// turns, so that machine noise falls on both alike.
//
//   bench_report [--rows N] [--repeat K] [--rounds M]   (10,000 rows, 5 writes, 3 rounds)
#include "BenchSupport.h"
#include "ReportExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace {

const QString kTitle = QStringLiteral("Serial number:  000000");

// As the window hands the readings page over: step mark, time, reading, number.
ReportExport::Table MakeTable(int nRows)
{
    ReportExport::Table table;
    table.nColumns = 4;
    const QDateTime start(QDate(2024, 3, 5), QTime(8, 0, 0));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        table.rows << QStringList { QString(), start.addSecs(2 * nRow).toString(QStringLiteral("yyyy.MM.dd.hh:mm:ss")),
                                    QString::number(0.0056 * (1000 + nRow % 977), 'f', 2), QString::number(nRow + 1) };
    }
    return table;
}

// As a calibration with its uncertainty and verdict fills every line.
const ReportExport::Statistics kStatistics { QStringLiteral("10.00"),
                                             QStringLiteral("-2.50"),
                                             QStringLiteral("3.10"),
                                             QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)),
                                             QStringLiteral("0.0050"),
                                             QStringLiteral("0.0123"),
                                             QStringLiteral("4.14"),
                                             QStringLiteral("k = 2.05"),
                                             QStringLiteral("guarded acceptance"),
                                             QStringLiteral("INCONCLUSIVE") };

lxw_format* Format(lxw_workbook* book, double size, bool centred, bool border)
{
    lxw_format* format = workbook_add_format(book);
    if (size > 0)
        format_set_font_size(format, size);
    if (centred) {
        format_set_text_wrap(format);
        format_set_align(format, LXW_ALIGN_CENTER);
        format_set_align(format, LXW_ALIGN_VERTICAL_CENTER);
    }
    if (border) {
        format_set_border(format, LXW_BORDER_THIN);
        format_set_border_color(format, LXW_COLOR_BLACK);
    }
    return format;
}

// Characters of the default 11 pt font, as the layer sizes its columns.
double Width(const QString& text, double size)
{
    return text.isEmpty() ? 0 : std::min(text.size() * size / 11 + 2, 80.0);
}

// The layer's workbook as libxlsxwriter alone writes it: row by row in
// constant memory, the same scratch folder, formats, widths and print
// set-up; no model, no name strings, straight to the path.
bool WriteDirect(const ReportExport::Table& table, const QString& path)
{
    QByteArray scratch = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options = { LXW_TRUE, scratch.data(), LXW_FALSE };
    lxw_workbook* book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* title = Format(book, 12, true, false);
    lxw_format* caption = Format(book, 16, true, true);
    lxw_format* data = Format(book, 0, false, true);
    lxw_format* line = Format(book, 10, true, false);
    const QStringList labels = ReportExport::HeaderLabels();
    const QString lines[] = {
        QStringLiteral("True value;") + kStatistics.trueValue,
        QStringLiteral("Relative inherent error;") + kStatistics.relativeError + QLatin1Char('%'),
        QStringLiteral("coefficient of variation;") + kStatistics.variation + QLatin1Char('%'),
        QStringLiteral("Report Time;") + kStatistics.reportTime.toString(QStringLiteral("yyyy.MM.dd.hh:mm:ss")),
        QStringLiteral("Background;") + kStatistics.background,
        QStringLiteral("Standard deviation;") + kStatistics.standardDeviation,
        QStringLiteral("Expanded uncertainty;") + kStatistics.expandedUncertainty + QStringLiteral("% (")
            + kStatistics.coverageFactor + QLatin1Char(')'),
        QStringLiteral("Decision rule;") + kStatistics.decisionRule,
        QStringLiteral("Verdict;") + kStatistics.verdict,
    };
    std::vector<double> widths(std::size_t(table.nColumns - 1), 0.0);
    for (int column = 1; column < table.nColumns; ++column) {
        double& width = widths[std::size_t(column - 1)];
        width = Width(labels.at(column), 16);
        for (const QStringList& row : table.rows)
            width = std::max(width, Width(row.value(column), 11));
    }
    // Merged texts widen the last column of their area by what it lacks.
    widths.back() += std::max(0.0, Width(kTitle, 12) - std::accumulate(widths.begin(), widths.end(), 0.0));
    for (const QString& text : lines)
        widths[1] += std::max(0.0, Width(text, 10) - widths[0] - widths[1]);
    for (std::size_t i = 0; i < widths.size(); ++i)
        worksheet_set_column(sheet, lxw_col_t(i), lxw_col_t(i), widths[i], nullptr);
    worksheet_fit_to_pages(sheet, 1, 0);
    worksheet_repeat_rows(sheet, 1, 1);
    worksheet_set_row(sheet, 0, 60, nullptr);
    worksheet_merge_range(sheet, 0, 0, 0, lxw_col_t(table.nColumns - 2), kTitle.toUtf8().constData(), title);
    worksheet_set_row(sheet, 1, 20, nullptr);
    for (int column = 1; column < table.nColumns; ++column)
        worksheet_write_string(sheet, 1, lxw_col_t(column - 1), labels.at(column).toUtf8().constData(), caption);
    for (int row = 0; row < table.rows.size(); ++row) {
        worksheet_set_row(sheet, lxw_row_t(row + 2), 20, nullptr);
        for (int column = 1; column < table.nColumns; ++column)
            worksheet_write_string(sheet, lxw_row_t(row + 2), lxw_col_t(column - 1),
                                   table.rows.at(row).value(column).toUtf8().constData(), data);
    }
    lxw_row_t row = lxw_row_t(table.rows.size() + 2);
    for (const QString& text : lines) {
        worksheet_merge_range(sheet, row, 0, row, 1, text.toUtf8().constData(), line);
        ++row;
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

// Child: K timed writes of one phase, then its memory.
int RunPhase(const QStringList& arguments)
{
    const QString phase = Bench::TextArgument(arguments, "--phase");
    const QDir folder(Bench::TextArgument(arguments, "--folder"));
    const ReportExport::Table table = MakeTable(Bench::IntArgument(arguments, "--rows", 10000));
    QMap<QString, double> figures { { "baseline", Bench::PeakMib() } };
    for (int i = 0; i < Bench::IntArgument(arguments, "--repeat", 5); ++i) {
        const QString path = folder.filePath(QStringLiteral("%1-%2.xlsx").arg(phase).arg(i));
        const double cpu = Bench::CpuMs();
        QElapsedTimer clock;
        clock.start();
        const bool written = phase == QLatin1String("layer")
            ? ReportExport::Write(table, kTitle, kStatistics, path).outcome == ReportExport::Written
            : WriteDirect(table, path);
        figures.insert(QStringLiteral("ms%1").arg(i), double(clock.nsecsElapsed()) / 1e6);
        figures.insert(QStringLiteral("cpu%1").arg(i), Bench::CpuMs() - cpu);
        if (!written)
            return 1;
    }
    figures.insert(QStringLiteral("peak"), Bench::PeakMib());
    std::printf("%s\n", qPrintable(Bench::FiguresLine("report", figures)));
    return 0;
}

struct Phase {
    const char* name;
    const char* label;
    std::vector<double> times, cpuTimes;
    double baseline = 0, peak = 0;
};

void Print(const Phase& p, const QDir& folder)
{
    std::printf("%-22s median %8.1f ms  min %8.1f ms  peak RSS %7.1f MiB (%+6.1f MiB over the filled table)  file %lld bytes\n",
                p.label, Bench::Median(p.times), *std::min_element(p.times.begin(), p.times.end()), p.peak,
                p.peak - p.baseline, static_cast<long long>(QFileInfo(folder.filePath(QString(p.name) + "-0.xlsx")).size()));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--phase")))
        return RunPhase(arguments);

    const int rows = Bench::IntArgument(arguments, "--rows", 10000);
    const int repeat = Bench::IntArgument(arguments, "--repeat", 5);
    const int rounds = Bench::IntArgument(arguments, "--rounds", 3);
    QTemporaryDir folder;
    Phase phases[2] = { { "direct", "libxlsxwriter alone:", {}, {} }, { "layer", "through the layer:", {}, {} } };
    std::vector<double> roundRatios; // each round's phases ran side by side, under much the same load
    for (int round = 0; round < rounds; ++round) {
        double medians[2];
        for (int k = 0; k < 2; ++k) {
            Phase& p = phases[k];
            QString error;
            const QMap<QString, double> figures = Bench::RunChild(
                QCoreApplication::applicationFilePath(),
                { "--phase", p.name, "--rows", QString::number(rows), "--repeat", QString::number(repeat), "--folder",
                  folder.path() },
                "report", &error);
            if (figures.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            std::vector<double> times;
            for (int i = 0; i < repeat; ++i) {
                times.push_back(figures.value(QStringLiteral("ms%1").arg(i)));
                p.cpuTimes.push_back(figures.value(QStringLiteral("cpu%1").arg(i)));
            }
            p.times.insert(p.times.end(), times.begin(), times.end());
            p.baseline = std::max(p.baseline, figures.value("baseline"));
            p.peak = std::max(p.peak, figures.value("peak"));
            medians[k] = Bench::Median(times);
        }
        roundRatios.push_back(medians[1] / medians[0]);
    }
    std::printf("report of %d rows: %d writes per phase in %d child processes each, phases taking turns\n", rows,
                repeat * rounds, rounds);
    for (const Phase& p : phases)
        Print(p, QDir(folder.path()));
    const Phase& direct = phases[0];
    const Phase& layer = phases[1];
    std::printf("time ratio layer/direct (medians): %.2f  (goal: at most 1.20)\n",
                Bench::Median(layer.times) / Bench::Median(direct.times));
    std::printf("CPU time ratio layer/direct (medians): %.2f\n",
                Bench::Median(layer.cpuTimes) / Bench::Median(direct.cpuTimes));
    std::printf("time ratio round by round: median %.2f, from %.2f to %.2f\n", Bench::Median(roundRatios),
                *std::min_element(roundRatios.begin(), roundRatios.end()),
                *std::max_element(roundRatios.begin(), roundRatios.end()));
    std::printf("peak memory ratio layer/direct: %.2f  (goal: at most 1.20)\n", layer.peak / direct.peak);
    return 0;
}
