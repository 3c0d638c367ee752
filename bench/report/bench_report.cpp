// Cost of writing a large report through the automation layer, against
// writing the same cells with libxlsxwriter directly. Each phase runs in a
// child process of its own, so that its peak memory is its own.
//
//   bench_report [--rows N] [--repeat K] [--rounds M]
//
// The two phases take turns, M child processes each, K timed writes per
// child; times are pooled per phase, memory is the largest child's.
#include "ReportExport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <vector>

namespace {

const QString kTitle = QStringLiteral("Serial number:  000000");

struct Options
{
    QString phase; // empty in the parent
    int nRows = 10000;
    int nRepeat = 5;
    int nRounds = 3;
    QString folder;
};

Options ParseOptions(const QStringList& args)
{
    Options options;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--phase"))
            options.phase = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--rows"))
            options.nRows = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--repeat"))
            options.nRepeat = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--rounds"))
            options.nRounds = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--folder"))
            options.folder = args.at(i + 1);
    }
    return options;
}

// As the window hands the readings page over: step mark, time, reading, number.
ReportExport::Table MakeTable(int nRows)
{
    ReportExport::Table table;
    table.nColumns = 4;
    const QDateTime start(QDate(2024, 3, 5), QTime(8, 0, 0));
    for (int nRow = 0; nRow < nRows; ++nRow) {
        table.rows << QStringList{QString(), start.addSecs(2 * nRow).toString(QStringLiteral("yyyy.MM.dd.hh:mm:ss")),
                                  QString::number(0.0056 * (1000 + nRow % 977), 'f', 2), QString::number(nRow + 1)};
    }
    return table;
}

ReportExport::Statistics MakeStatistics()
{
    return {QStringLiteral("10.00"), QStringLiteral("-2.50"), QStringLiteral("3.10"),
            QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))};
}

lxw_format* Format(lxw_workbook* pBook, double fSize, bool bCentred, bool bBorder)
{
    lxw_format* pFormat = workbook_add_format(pBook);
    if (fSize > 0)
        format_set_font_size(pFormat, fSize);
    if (bCentred) {
        format_set_text_wrap(pFormat);
        format_set_align(pFormat, LXW_ALIGN_CENTER);
        format_set_align(pFormat, LXW_ALIGN_VERTICAL_CENTER);
    }
    if (bBorder) {
        format_set_border(pFormat, LXW_BORDER_THIN);
        format_set_border_color(pFormat, LXW_COLOR_BLACK);
    }
    return pFormat;
}

// Characters of the default 11 pt font, as the layer sizes its columns.
double Width(const QString& text, double fSize)
{
    return text.isEmpty() ? 0 : std::min(text.size() * fSize / 11 + 2, 80.0);
}

// The same workbook as the layer's, written the way libxlsxwriter alone
// would: row by row in constant memory with the same scratch folder, the
// same formats, widths and print set-up; no model, no name strings, and
// straight to the path rather than replacing it in one piece.
bool WriteDirect(const ReportExport::Table& table, const ReportExport::Statistics& statistics, const QString& path)
{
    QByteArray scratch = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options = {LXW_TRUE, scratch.data(), LXW_FALSE};
    lxw_workbook* pBook = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet* pSheet = workbook_add_worksheet(pBook, nullptr);
    lxw_format* pTitle = Format(pBook, 12, true, false);
    lxw_format* pCaption = Format(pBook, 16, true, true);
    lxw_format* pData = Format(pBook, 0, false, true);
    lxw_format* pLine = Format(pBook, 10, true, false);
    const int nRows = table.rows.size();
    const int nColumns = table.nColumns;
    const QStringList labels = ReportExport::HeaderLabels();
    const QString lines[] = {
        QStringLiteral("True value;") + statistics.trueValue,
        QStringLiteral("Relative inherent error;") + statistics.relativeError + QLatin1Char('%'),
        QStringLiteral("coefficient of variation;") + statistics.variation + QLatin1Char('%'),
        QStringLiteral("Report Time;") + statistics.reportTime.toString(QStringLiteral("yyyy.MM.dd.hh:mm:ss")),
    };

    std::vector<double> widths(size_t(nColumns - 1), 0.0);
    for (int nColumn = 1; nColumn < nColumns; ++nColumn) {
        double& fWidth = widths[size_t(nColumn - 1)];
        fWidth = Width(labels.at(nColumn), 16);
        for (const QStringList& row : table.rows)
            fWidth = std::max(fWidth, Width(row.value(nColumn), 11));
    }
    // Merged texts widen the last column of their area by what it lacks.
    widths.back() += std::max(0.0, Width(kTitle, 12) - std::accumulate(widths.begin(), widths.end(), 0.0));
    for (const QString& line : lines)
        widths[1] += std::max(0.0, Width(line, 10) - widths[0] - widths[1]);
    for (size_t i = 0; i < widths.size(); ++i)
        worksheet_set_column(pSheet, lxw_col_t(i), lxw_col_t(i), widths[i], nullptr);
    worksheet_fit_to_pages(pSheet, 1, 0);
    worksheet_repeat_rows(pSheet, 1, 1);

    worksheet_set_row(pSheet, 0, 60, nullptr);
    worksheet_merge_range(pSheet, 0, 0, 0, lxw_col_t(nColumns - 2), kTitle.toUtf8().constData(), pTitle);
    worksheet_set_row(pSheet, 1, 20, nullptr);
    for (int nColumn = 1; nColumn < nColumns; ++nColumn)
        worksheet_write_string(pSheet, 1, lxw_col_t(nColumn - 1), labels.at(nColumn).toUtf8().constData(), pCaption);
    for (int nRow = 0; nRow < nRows; ++nRow) {
        worksheet_set_row(pSheet, lxw_row_t(nRow + 2), 20, nullptr);
        for (int nColumn = 1; nColumn < nColumns; ++nColumn) {
            const QByteArray text = table.rows.at(nRow).value(nColumn).toUtf8();
            worksheet_write_string(pSheet, lxw_row_t(nRow + 2), lxw_col_t(nColumn - 1), text.constData(), pData);
        }
    }
    for (int k = 0; k < 4; ++k) {
        const lxw_row_t nRow = lxw_row_t(nRows + 2 + k);
        worksheet_merge_range(pSheet, nRow, 0, nRow, 1, lines[k].toUtf8().constData(), pLine);
    }
    return workbook_close(pBook) == LXW_NO_ERROR;
}

long PeakKib()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss; // KiB on Linux
}

// User and system time so far: on a shared machine it varies less than the
// elapsed time, though it leaves out waiting for the disk.
double CpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Child: times one phase K times and reports times and peak memory.
int RunPhase(const Options& options)
{
    const ReportExport::Table table = MakeTable(options.nRows);
    const ReportExport::Statistics statistics = MakeStatistics();
    const long nBaselineKib = PeakKib();
    const bool bLayer = options.phase == QLatin1String("layer");
    QStringList times;
    QStringList cpuTimes;
    for (int i = 0; i < options.nRepeat; ++i) {
        const QString path = QDir(options.folder).filePath(QStringLiteral("%1-%2.xlsx").arg(options.phase).arg(i));
        const double fCpuMs = CpuMs();
        QElapsedTimer timer;
        timer.start();
        const bool bOk = bLayer
            ? ReportExport::Write(table, kTitle, statistics, path).outcome == ReportExport::Written
            : WriteDirect(table, statistics, path);
        const qint64 nNs = timer.nsecsElapsed();
        if (!bOk) {
            std::fprintf(stderr, "%s: writing %s failed\n", qPrintable(options.phase), qPrintable(path));
            return 1;
        }
        times << QString::number(nNs / 1e6, 'f', 3);
        cpuTimes << QString::number(CpuMs() - fCpuMs, 'f', 3);
    }
    std::printf("times_ms=%s cpu_ms=%s baseline_kib=%ld peak_kib=%ld\n", qPrintable(times.join(QLatin1Char(','))),
                qPrintable(cpuTimes.join(QLatin1Char(','))), nBaselineKib, PeakKib());
    return 0;
}

struct PhaseResult
{
    std::vector<double> times;
    std::vector<double> cpuTimes;
    long nBaselineKib = 0;
    long nPeakKib = 0;
    qint64 nFileBytes = 0;
};

bool RunChild(const Options& options, const QString& phase, PhaseResult* pResult)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--phase"), phase, QStringLiteral("--rows"), QString::number(options.nRows),
                 QStringLiteral("--repeat"), QString::number(options.nRepeat), QStringLiteral("--folder"),
                 options.folder});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return false;
    const size_t nBefore = pResult->times.size();
    for (const QString& field : QString::fromLatin1(child.readAllStandardOutput()).simplified().split(QLatin1Char(' '))) {
        const QString key = field.section(QLatin1Char('='), 0, 0);
        const QString value = field.section(QLatin1Char('='), 1);
        if (key == QLatin1String("times_ms") || key == QLatin1String("cpu_ms")) {
            for (const QString& t : value.split(QLatin1Char(',')))
                (key == QLatin1String("cpu_ms") ? pResult->cpuTimes : pResult->times).push_back(t.toDouble());
        } else if (key == QLatin1String("baseline_kib")) {
            pResult->nBaselineKib = std::max(pResult->nBaselineKib, value.toLong());
        } else if (key == QLatin1String("peak_kib")) {
            pResult->nPeakKib = std::max(pResult->nPeakKib, value.toLong());
        }
    }
    pResult->nFileBytes = QFileInfo(QDir(options.folder).filePath(phase + QStringLiteral("-0.xlsx"))).size();
    return pResult->times.size() > nBefore;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void Print(const char* label, const PhaseResult& result)
{
    std::printf("%-22s median %8.1f ms  min %8.1f ms  peak RSS %7.1f MiB (%+6.1f MiB over the filled table)  file %lld bytes\n",
                label, Median(result.times), *std::min_element(result.times.begin(), result.times.end()),
                result.nPeakKib / 1024.0, (result.nPeakKib - result.nBaselineKib) / 1024.0,
                static_cast<long long>(result.nFileBytes));
}

int RunParent(Options options)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    options.folder = folder.path();
    PhaseResult layer;
    PhaseResult direct;
    std::vector<double> roundRatios; // each round's phases ran side by side, under much the same load
    for (int nRound = 0; nRound < options.nRounds; ++nRound) {
        const auto nDirect = std::ptrdiff_t(direct.times.size());
        const auto nLayer = std::ptrdiff_t(layer.times.size());
        if (!RunChild(options, QStringLiteral("direct"), &direct)
            || !RunChild(options, QStringLiteral("layer"), &layer)) {
            std::fprintf(stderr, "a phase failed\n");
            return 1;
        }
        roundRatios.push_back(Median({layer.times.begin() + nLayer, layer.times.end()})
                              / Median({direct.times.begin() + nDirect, direct.times.end()}));
    }
    std::printf("report of %d rows: %d writes per phase in %d child processes each, phases taking turns\n",
                options.nRows, options.nRepeat * options.nRounds, options.nRounds);
    Print("libxlsxwriter alone:", direct);
    Print("through the layer:", layer);
    const double fRatio = Median(layer.times) / Median(direct.times);
    std::printf("time ratio layer/direct (medians): %.2f  (goal: at most 1.20)\n", fRatio);
    std::printf("CPU time ratio layer/direct (medians): %.2f\n", Median(layer.cpuTimes) / Median(direct.cpuTimes));
    std::printf("time ratio round by round: median %.2f, from %.2f to %.2f\n", Median(roundRatios),
                *std::min_element(roundRatios.begin(), roundRatios.end()),
                *std::max_element(roundRatios.begin(), roundRatios.end()));
    std::printf("peak memory ratio layer/direct: %.2f  (goal: at most 1.20)\n",
                double(layer.nPeakKib) / double(direct.nPeakKib));
#ifndef __OPTIMIZE__
    // libxlsxwriter comes optimised from the distribution; the layer does not.
    std::printf("note: built without optimisation, which weighs on the layer only; "
                "configure with -DCMAKE_BUILD_TYPE=Release for representative figures\n");
#endif
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Options options = ParseOptions(QCoreApplication::arguments());
    return options.phase.isEmpty() ? RunParent(options) : RunPhase(options);
}
