#include "CertificateDocument.h"

#include "CalibrationSummary.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QFontMetricsF>
#include <QJsonArray>
#include <QJsonObject>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <functional>

namespace {

// The fonts the package depends on: DejaVu for Latin, Greek and symbols,
// WenQuanYi Micro Hei for Chinese.
const QStringList kFamilies { QStringLiteral("DejaVu Sans"), QStringLiteral("WenQuanYi Micro Hei") };
constexpr qreal kBodyPoints = 8.5;
constexpr qreal kMarginPoints = 8; // between the running lines and the body
constexpr qreal kRunningPoints = 7.5;
constexpr int kCoefficients = 3;
constexpr int kReadingPeriodS = 2; // the readings page asks for a dose every 2000 ms

const QString kNone = QStringLiteral("—");
const QString kStatement = QStringLiteral("The results relate only to the item calibrated. This certificate shall "
                                          "not be reproduced except in full without the written approval of the "
                                          "laboratory.");

QString Escaped(const QString& text)
{
    return text.trimmed().isEmpty() ? kNone : text.trimmed().toHtmlEscaped();
}

QString Escaped(const QJsonValue& value)
{
    return Escaped(value.toString());
}

using Record = CalibrationRecord;

bool FigureOf(const QJsonValue& value, double* figure)
{
    return Record::FigureOf(value, figure);
}

QString Figure(const QJsonValue& value, int decimals, const QString& unit = QString(), bool sign = false)
{
    double figure = 0;
    if (!FigureOf(value, &figure))
        return kNone;
    QString text = QString::number(figure, 'f', decimals);
    if (sign && figure >= 0)
        text.prepend(QLatin1Char('+'));
    return unit.isEmpty() ? text : text + QChar(0x00A0) + unit;
}

QString TrueValue(const QJsonValue& value)
{
    double figure = 0;
    return FigureOf(value, &figure) ? QString::number(figure, 'g', 6) : kNone;
}

// "English / 中文": the certificate is read in both.
QString Words(const char* english, const char* chinese)
{
    return QStringLiteral("%1 / %2").arg(QString::fromUtf8(english), QString::fromUtf8(chinese));
}

QString Heading(int number, const char* english, const char* chinese)
{
    return QStringLiteral("<h3 style=\"margin-top:8px; margin-bottom:2px\">%1&nbsp;&nbsp;%2</h3>")
        .arg(number)
        .arg(Words(english, chinese));
}

QString Field(const QString& label, const QString& value)
{
    return QStringLiteral("<tr><td width=\"46%\" style=\"color:#333333\">%1</td><td>%2</td></tr>").arg(label, value);
}

QString Fields(const QStringList& rows)
{
    return QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">%1</table>")
        .arg(rows.join(QString()));
}

// Each column's share of the width, in percent, with its header.
QString Grid(const QList<QPair<int, QString>>& header, const QList<QStringList>& rows)
{
    QString html = QStringLiteral("<table width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\""
                                  " style=\"border-collapse:collapse; border-color:#808080\"><thead><tr>");
    for (const auto& cell : header) {
        html += QStringLiteral("<th width=\"%1%\" style=\"background-color:#eeeeee; font-size:7pt\">%2</th>")
                    .arg(cell.first)
                    .arg(cell.second);
    }
    html += QStringLiteral("</tr></thead>");
    for (const QStringList& row : rows) {
        html += QStringLiteral("<tr>");
        for (const QString& cell : row)
            html += QStringLiteral("<td align=\"center\">%1</td>").arg(cell);
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString Dates(const QVector<Record::Point>& points)
{
    if (points.isEmpty())
        return kNone;
    const QDate first = CalibrationSummary::DateOf(points.first().time);
    const QDate last = CalibrationSummary::DateOf(points.last().time);
    return first == last ? first.toString(Qt::ISODate)
                         : QStringLiteral("%1 – %2").arg(first.toString(Qt::ISODate), last.toString(Qt::ISODate));
}

// The distinct values of a key over the points, in their first order.
QStringList Distinct(const QVector<Record::Point>& points, const std::function<QString(const Record::Point&)>& text)
{
    QStringList values;
    for (const Record::Point& point : points) {
        const QString value = text(point);
        if (!values.contains(value))
            values << value;
    }
    return values;
}

QString Coefficients(const QJsonValue& values)
{
    const QJsonArray array = values.toArray();
    QStringList cells;
    for (int i = 0; i < kCoefficients; ++i)
        cells << Figure(array.at(i), 4);
    return cells.join(QStringLiteral("</td><td align=\"center\">"));
}

// Fields of records that hold them; records made before they were kept
// print as they always did.
QStringList Present(const QList<QPair<const std::optional<QString>*, QString>>& fields)
{
    QStringList rows;
    for (const auto& field : fields) {
        if (field.first->has_value())
            rows << Field(field.second, Escaped(**field.first));
    }
    return rows;
}

// Simple acceptance judges the error alone, with no guard band.
const QString kRiskStatement = QStringLiteral(
    "Simple acceptance: the verdict compares the error with the tolerance, without a guard band. Where the error lies "
    "within U of a tolerance limit, the risk of a wrong PASS or FAIL can reach 50 %. / 简单接受：以误差与允差直接比较，"
    "不设保护带；误差距允差限值不足 U 时，误判合格或不合格的风险可达 50 %。");

QString ItemSection(const Record& record, int node)
{
    const QString detector = record.detectorType;
    return Heading(2, "Item calibrated", "被校仪器")
        + Fields(Present({ { &record.customer, Words("Customer", "委托方") },
                           { &record.manufacturer, Words("Manufacturer", "制造商") },
                           { &record.model, Words("Model", "型号") } })
                 + QStringList { Field(Words("Instrument", "仪器"), Words("dose-rate monitor, detector node", "剂量率监测仪探测节点")),
                   Field(Words("Node id", "节点编号"), QString::number(node)),
                   Field(Words("Serial number", "出厂编号"), Escaped(record.serial)),
                   Field(Words("Detector type", "探测器类型"),
                         detector.isEmpty() ? Words("not known", "未知") : Escaped(detector)) });
}

QString MethodSection(const Record& record)
{
    const QStringList counts
        = Distinct(record.points, [](const Record::Point& p) { return QString::number(p.n); });
    const QStringList rules = Distinct(record.points, [](const Record::Point& p) {
        return QStringLiteral("%1, tolerance ±%2 %").arg(p.rule, TrueValue(p.tolerance));
    });
    const bool simple = rules.join(QString()).contains(QLatin1String("simple acceptance"));
    return Heading(3, "Method", "校准方法")
        + Fields(Present({ { &record.measurand, Words("Measurand and radiation quality", "被测量与辐射质") },
                           { &record.procedure, Words("Procedure", "校准规程") } })
                 + QStringList { Field(Words("Console version", "控制台软件版本"), Escaped(record.console)),
                   Field(Words("Readings per point", "每点读数次数"), counts.join(QStringLiteral(", ")).toHtmlEscaped()),
                   Field(Words("Averaging", "平均方式"),
                         QStringLiteral("mean of consecutive readings, one every %1 s, less the background / "
                                        "每 %1 s 读数一次，取连续读数的平均值，扣除本底")
                             .arg(kReadingPeriodS)),
                   Field(Words("Decision rule", "判定规则"), rules.join(QStringLiteral("; ")).toHtmlEscaped()) })
        + (simple ? QStringLiteral("<p style=\"font-size:7.5pt\">%1</p>").arg(kRiskStatement.toHtmlEscaped()) : QString());
}

QString ReferenceSection(const Record& record)
{
    const auto withUnit = [](const QJsonValue& value, const QString& unit) {
        return value.toString().trimmed().isEmpty() ? kNone : Escaped(value) + QChar(0x00A0) + unit;
    };
    return Heading(4, "Reference and conditions", "参考标准与环境条件")
        + Fields(Present({ { &record.place, Words("Place of calibration", "校准地点") },
                           { &record.traceability, Words("Metrological traceability", "计量溯源性") } })
                 + QStringList { Field(Words("Reference source", "参考源"), Escaped(record.referenceSource)),
                   Field(Words("Reference certificate", "参考源证书编号"),
                         Escaped(record.referenceCertificate)),
                   Field(Words("Reference expanded uncertainty (k = 2)", "参考源扩展不确定度"),
                         withUnit(record.referenceUncertainty, QStringLiteral("%"))),
                   Field(Words("Temperature", "温度"), withUnit(record.temperature, QStringLiteral("°C"))),
                   Field(Words("Pressure", "气压"), withUnit(record.pressure, QStringLiteral("kPa"))),
                   Field(Words("Relative humidity", "相对湿度"), withUnit(record.humidity, QStringLiteral("%"))) });
}

// The budget of each range's final point: every term of u(e) with its
// standard uncertainty, its share of u(e) and its degrees of freedom, then
// U(e) and the calibration factor's relative expanded uncertainty, each
// named. Records made before budgets were kept have none.
QString BudgetTables(const Record& record)
{
    QString html;
    for (const CalibrationSummary::Result& result : CalibrationSummary::Results(record)) {
        const Record::Point& last = result.Final();
        const QVector<Record::Term>& budget = last.budget;
        if (budget.isEmpty())
            continue;
        QList<QStringList> rows;
        for (const Record::Term& t : budget) {
            const bool rate = t.unit != QLatin1String("%");
            rows << QStringList { Escaped(t.component),
                                  t.distribution.isEmpty() ? QStringLiteral("Type A") : Escaped(t.distribution),
                                  Figure(t.u, rate ? 5 : 3, Escaped(t.unit)), Figure(t.contribution, 3),
                                  Escaped(t.degreesOfFreedom) };
        }
        const auto header = [](const char* english, const char* chinese) {
            return QStringLiteral("%1<br>%2").arg(QString::fromUtf8(english), QString::fromUtf8(chinese));
        };
        html += QStringLiteral("<p style=\"margin-top:6px\"><b>%1, %2 %3</b></p>")
                    .arg(Words("Uncertainty budget", "不确定度分量"), Words("range", "量程"))
                    .arg(result.range)
            + Grid({ { 30, header("Component", "分量") },
                     { 18, header("Distribution", "分布") },
                     { 18, header("u_i", "标准不确定度") },
                     { 20, header("Contribution to u(e)", "对 u(e) 的贡献") },
                     { 14, header("ν", "自由度") } },
                   rows);
        QStringList lines;
        lines << QStringLiteral("u(e) = %1, ν<sub>eff</sub> = %2; U(e) = %3 (k = %4) / 误差的扩展不确定度")
                     .arg(Figure(last.standardUncertainty, 2), Escaped(last.degreesOfFreedom),
                          Figure(last.expandedUncertainty, 2), Figure(last.coverageFactor, 2));
        lines << QStringLiteral("Relative expanded uncertainty of the calibration factor N = T/(M − B): %1 (k = %2) / "
                                "校准因子的相对扩展不确定度")
                     .arg(Figure(last.factorExpandedUncertainty, 2, QStringLiteral("%")), Figure(last.coverageFactor, 2));
        for (const QString& remark : last.remarks)
            lines << Escaped(remark);
        html += QStringLiteral("<p style=\"font-size:7.5pt\">%1</p>").arg(lines.join(QStringLiteral("<br>")));
    }
    return html;
}

QString ResultsSection(const Record& record)
{
    QList<QStringList> rows;
    QStringList asFoundU;
    for (const CalibrationSummary::Result& result : CalibrationSummary::Results(record)) {
        const Record::Point& last = result.Final();
        if (result.hasAsLeft && result.hasAsFound && !result.asFound.expandedUncertainty.isUndefined())
            asFoundU << QStringLiteral("%1 %2: %3").arg(Words("range", "量程")).arg(result.range)
                            .arg(Figure(result.asFound.expandedUncertainty, 2, QStringLiteral("%")));
        QStringList verdicts;
        if (result.hasAsFound)
            verdicts << Escaped(result.asFound.verdict);
        if (result.hasAsLeft)
            verdicts << Escaped(result.asLeft.verdict);
        rows << QStringList { QString::number(result.range), TrueValue(last.trueValue),
                              Figure(last.background, 4),
                              Figure(result.asFound.mean, 4),
                              Figure(result.asFound.error, 2, QStringLiteral("%"), true),
                              Figure(result.asLeft.mean, 4),
                              Figure(result.asLeft.error, 2, QStringLiteral("%"), true),
                              Figure(last.expandedUncertainty, 2, QStringLiteral("%")),
                              Figure(last.coverageFactor, 2),
                              verdicts.join(QStringLiteral(" → ")) };
    }
    const auto header = [](const char* english, const char* chinese) {
        return QStringLiteral("%1<br>%2").arg(QString::fromUtf8(english), QString::fromUtf8(chinese));
    };
    return Heading(6, "Results", "校准结果")
        + Grid({ { 7, header("Range", "量程") },
                 { 10, header("True value<br>μSv/h", "约定真值") },
                 { 12, header("Background<br>μSv/h", "本底") },
                 { 10, header("As found<br>mean, μSv/h", "调整前均值") },
                 { 10, header("As found<br>error", "调整前误差") },
                 { 10, header("As left<br>mean, μSv/h", "调整后均值") },
                 { 10, header("As left<br>error", "调整后误差") },
                 { 10, header("U", "扩展不确定度") },
                 { 6, QStringLiteral("k") },
                 { 15, header("Verdict", "结论") } },
               rows)
        + QStringLiteral("<p style=\"font-size:7.5pt\">%1</p>")
              .arg(QStringLiteral(
                  "Error e = (mean − background − true value) / true value. U is the expanded uncertainty of the final "
                  "error, k its coverage factor (about 95 % coverage). The verdict is the one as found → as left. / "
                  "误差 e =（平均值 − 本底 − 约定真值）/ 约定真值；U 为最终误差的扩展不确定度，k 为包含因子（包含概率约 95 %）；"
                  "结论为调整前 → 调整后。"))
        + (asFoundU.isEmpty() ? QString()
                              : QStringLiteral("<p style=\"font-size:7.5pt\">%1: %2</p>")
                                    .arg(Words("U of the error as found", "调整前误差的扩展不确定度"),
                                         asFoundU.join(QStringLiteral("; "))))
        + BudgetTables(record);
}

QString CoefficientsSection(const Record& record)
{
    const Record::Adjustment* last = record.LastAdjustment();
    const QString none = QStringLiteral("<td align=\"center\" colspan=\"%1\">%2</td>").arg(kCoefficients);
    QString html = Heading(7, "Coefficients", "校准系数")
        + QStringLiteral("<table width=\"85%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\""
                         " style=\"border-collapse:collapse; border-color:#808080\"><thead><tr>"
                         "<th width=\"34%\" style=\"background-color:#eeeeee\"></th>");
    for (int i = 1; i <= kCoefficients; ++i)
        html += QStringLiteral("<th style=\"background-color:#eeeeee\">Range %1 / 量程 %1</th>").arg(i);
    html += QStringLiteral("</tr></thead>");
    html += QStringLiteral("<tr><td>%1</td><td align=\"center\">%2</td></tr>")
                .arg(Words("Before (as found)", "调整前"), Coefficients(record.asFoundCoefficients));
    if (!last) {
        html += QStringLiteral("<tr><td>%1</td>%2</tr>")
                    .arg(Words("After (written)", "调整后"), none.arg(Words("not adjusted", "未调整")));
    } else {
        html += QStringLiteral("<tr><td>%1</td><td align=\"center\">%2</td></tr>")
                    .arg(Words("After (written)", "调整后"), Coefficients(last->written));
        html += !last->readBack.isUndefined()
            ? QStringLiteral("<tr><td>%1</td><td align=\"center\">%2</td></tr>")
                  .arg(Words("Read back", "回读"), Coefficients(last->readBack))
            : QStringLiteral("<tr><td>%1</td>%2</tr>").arg(Words("Read back", "回读"), none.arg(Words("not read", "未回读")));
    }
    html += QStringLiteral("</table>");
    if (last) {
        const bool matches = last->readBackMatches;
        html += QStringLiteral("<p>%1: %2%3</p>")
                    .arg(Words("Read back as written", "回读与写入一致"),
                         matches ? Words("yes", "是") : Words("no", "否"),
                         record.adjustments.size() > 1
                             ? QStringLiteral(" (%1)").arg(QStringLiteral("the last of %1 writes / 共写入 %1 次，此为最后一次")
                                                               .arg(record.adjustments.size()))
                             : QString());
    }
    return html;
}

QString RemarksSection(const Record& record)
{
    QStringList items;
    for (const Record::Warning& w : record.warnings)
        items << QStringLiteral("<li>%1: %2</li>").arg(Escaped(w.title), Escaped(w.text));
    return Heading(8, "Remarks", "备注")
        + (items.isEmpty() ? QStringLiteral("<p>%1</p>").arg(Words("none", "无"))
                           : QStringLiteral("<ul>%1</ul>").arg(items.join(QString())));
}

// Who performed and who approved, by name, function, date and key, as
// their signed rows say: no lines to sign by hand.
QString SignoffTable(const CertificateDocument::Signoff& signoff)
{
    const auto person = [](const CalibrationApproval::Person& who) {
        return who.name.isEmpty() ? kNone
                                  : QStringLiteral("%1, %2, %3").arg(Escaped(who.name), Escaped(who.function),
                                                                     Escaped(who.time.left(10)));
    };
    const CalibrationApproval::Decision& decision = signoff.decision;
    QString approved = kNone;
    if (decision.Decided() && decision.approved)
        approved = person(decision.approver);
    else if (decision.Decided())
        approved = QStringLiteral("%1: %2 — %3").arg(Words("Rejected", "已驳回"), person(decision.approver),
                                                    Escaped(decision.reason));
    return QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"4\" style=\"margin-top:8px\">"
                          "<tr><td width=\"22%\" nowrap>%1</td><td>%2</td></tr>"
                          "<tr><td nowrap>%3</td><td>%4</td></tr></table>")
        .arg(Words("Performed by", "校准员"), person(signoff.performer), Words("Approved by", "批准人"), approved);
}

// What anyone holding the certificate checks it with.
QString VerificationBlock(const RecordStore::Row& row, const CertificateDocument::Signoff& signoff)
{
    QStringList keys;
    for (const QString& fingerprint : { signoff.performer.fingerprint, signoff.decision.approver.fingerprint }) {
        if (!fingerprint.isEmpty())
            keys << fingerprint;
    }
    return QStringLiteral("<p style=\"margin-top:8px; font-size:7.5pt\">%1: %2 %3, SHA-256 "
                          "<span style=\"font-family:'DejaVu Sans Mono'\">%4</span>; %5: "
                          "<span style=\"font-family:'DejaVu Sans Mono'\">%6</span>; %7: "
                          "<span style=\"font-family:'DejaVu Sans Mono'\">dosegate-console --verify-certificate "
                          "FILE.pdf --trust-keys KEYRING.json</span></p>")
        .arg(Words("Verification", "验证"), Words("record", "记录"))
        .arg(row.seq)
        .arg(QString::fromLatin1(row.hash), Words("signers' keys", "签名密钥"),
             keys.isEmpty() ? kNone : keys.join(QStringLiteral("; ")), Words("checked with", "验证命令"));
}

QString ClosingSection(const Record& record, const RecordStore::Row& row,
                       const CertificateDocument::Signoff& signoff)
{
    const QString line = QStringLiteral("______________________");
    const QString statement = QStringLiteral("<p style=\"margin-top:10px\"><b>%1</b><br>%2</p>")
               .arg(kStatement, QStringLiteral("本证书的结果仅对所校准的仪器有效。未经实验室书面批准，不得部分复制本证书。"));
    if (signoff.required) {
        return statement + SignoffTable(signoff) + VerificationBlock(row, signoff)
            + QStringLiteral("<p align=\"center\" style=\"margin-top:14px\"><b>— %1 —</b></p>")
                  .arg(Words("End of certificate", "证书结束"));
    }
    return statement
        + QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"4\" style=\"margin-top:8px\">"
                         "<tr><td width=\"22%\" nowrap>%1</td><td width=\"28%\">%2</td><td width=\"22%\" nowrap>%3</td>"
                         "<td width=\"28%\">%4</td></tr>"
                         "<tr><td nowrap>%5</td><td>%6</td><td nowrap>%7</td><td>%6</td></tr></table>")
              .arg(Words("Performed by", "校准员"), Escaped(record.operatorName),
                   Words("Checked by", "核验员"), line, Words("Signature", "签名"), line, Words("Signature", "签名"))
        + QStringLiteral("<p style=\"margin-top:8px; font-size:7.5pt\">%1 %2, SHA-256: "
                         "<span style=\"font-family:'DejaVu Sans Mono'\">%3</span></p>")
              .arg(Words("Record", "记录"))
              .arg(row.seq)
              .arg(QString::fromLatin1(row.hash))
        + QStringLiteral("<p align=\"center\" style=\"margin-top:14px\"><b>— %1 —</b></p>")
              .arg(Words("End of certificate", "证书结束"));
}

// A section that fits on a page is not split over two; the statement, the
// signatures and the end count as one, so that no page holds a signature
// line alone. The results may run over pages, their header repeated.
void KeepSectionsTogether(QTextDocument* document)
{
    const qreal height = document->pageSize().height();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    QTextBlock start;
    for (QTextBlock block = document->begin();; block = block.next()) {
        const bool end = !block.isValid();
        if (!end && block.blockFormat().headingLevel() == 0 && !block.text().startsWith(kStatement))
            continue;
        if (start.isValid()) {
            const qreal top = layout->blockBoundingRect(start).top();
            const qreal bottom = end ? layout->documentSize().height() : layout->blockBoundingRect(block).top();
            if (int(top / height) != int((bottom - 1) / height) && bottom - top <= height) {
                QTextBlockFormat format = start.blockFormat();
                format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                QTextCursor(start).setBlockFormat(format);
                // The break moves what follows it, in tables too; laid out
                // anew, a later section is judged, and painted, where it
                // now stands.
                document->markContentsDirty(0, document->characterCount());
            }
        }
        if (end)
            break;
        start = block;
    }
}

// Across the page, under nothing and over everything: no part of a draft
// can be cut out to look issued.
void Watermark(QPainter* painter, const QRectF& page, const QFont& body)
{
    painter->save();
    QFont big = body;
    big.setPointSizeF(kBodyPoints * 5);
    big.setBold(true);
    painter->setFont(big);
    painter->setPen(QColor(200, 0, 0, 90));
    painter->translate(page.center());
    painter->rotate(-45);
    const QRectF text(-page.height() / 2, -page.width() / 4, page.height(), page.width() / 2);
    painter->drawText(text, Qt::AlignCenter, QString::fromUtf8(CertificateDocument::kDraft));
    painter->restore();
}

} // namespace

CertificateDocument::CertificateDocument(const RecordStore::Row& row, int issue, const QDate& reissued)
    : CertificateDocument(row, Signoff(), issue, reissued)
{
}

CertificateDocument::CertificateDocument(const RecordStore::Row& row, const Signoff& signoff, int issue,
                                         const QDate& reissued)
    : m_row(row)
    , m_sNumber(signoff.Draft() ? QString() : CalibrationSummary::CertificateNumber(row))
    , m_bDraft(signoff.Draft())
{
    const Record record = Record::fromJson(row.Content());
    const QDate issued = CalibrationSummary::DateOf(record.finished);
    m_sHtml = QStringLiteral("<html><body>")
        + QStringLiteral("<h1 align=\"center\" style=\"font-size:17pt; margin-top:0; margin-bottom:2px\">Calibration certificate</h1>"
                         "<p align=\"center\" style=\"font-size:13pt; margin-top:0\">校准证书</p>")
        + (m_bDraft ? QStringLiteral("<p align=\"center\"><b>%1 / 草稿 — 未批准</b></p>").arg(QString::fromUtf8(kDraft))
                    : QStringLiteral("<p align=\"center\">%1: <b>%2</b></p>")
                          .arg(Words("Certificate number", "证书编号"), m_sNumber))
        + (issue > 1 ? QStringLiteral("<p align=\"center\"><b>Issue %1, issued again on %2 from the same record; "
                                      "the certificate first issued stands. / 第 %1 版，于 %2 依同一记录重新签发；"
                                      "首次签发的证书仍然有效。</b></p>")
                           .arg(issue)
                           .arg(reissued.toString(Qt::ISODate))
                     : QString())
        + Heading(1, "Laboratory", "校准实验室")
        + Fields({ Field(Words("Name", "名称"), Escaped(record.laboratoryName)),
                   Field(Words("Address", "地址"), Escaped(record.laboratoryAddress)) })
        + ItemSection(record, row.node) + MethodSection(record) + ReferenceSection(record)
        + Heading(5, "Dates", "日期")
        + Fields({ Field(Words("Date of calibration", "校准日期"), Dates(record.points)),
                   Field(Words("Date of issue", "签发日期"), issued.isValid() ? issued.toString(Qt::ISODate) : kNone) })
        + ResultsSection(record) + CoefficientsSection(record) + RemarksSection(record)
        + ClosingSection(record, row, signoff)
        + QStringLiteral("</body></html>");
}

// The body is laid out at the device's own resolution, so the same record
// breaks into the same pages wherever it is printed.
bool CertificateDocument::Print(QPagedPaintDevice* device) const
{
    QFont body;
    body.setFamilies(kFamilies);
    body.setPointSizeF(kBodyPoints);
    // No ligatures: "fi" stays two letters for whoever searches or copies
    // the text.
    body.setStyleStrategy(QFont::PreferNoShaping);
    QFont running = body;
    running.setPointSizeF(kRunningPoints);
    const QFontMetricsF metrics(running, device);
    const qreal gap = kMarginPoints * device->logicalDpiY() / 72.0;
    const qreal band = metrics.height() + gap; // a running line and its distance to the body
    const QSizeF page(device->width(), device->height() - 2 * band);

    QTextDocument document;
    document.setDefaultFont(body);
    document.setDocumentMargin(0);
    // A word wider than the page breaks where it must, rather than run off
    // the page and push what follows out of it.
    QTextOption wrapping = document.defaultTextOption();
    wrapping.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(wrapping);
    document.documentLayout()->setPaintDevice(device);
    document.setHtml(m_sHtml);
    document.setPageSize(page);
    KeepSectionsTogether(&document);
    const int pages = document.pageCount();

    QPainter painter;
    if (!painter.begin(device))
        return false;
    for (int index = 0; index < pages; ++index) {
        if (index > 0 && !device->newPage())
            return false;
        painter.setFont(running);
        painter.setPen(Qt::black);
        const QRectF top(0, 0, page.width(), metrics.height());
        const QRectF bottom(0, device->height() - metrics.height(), page.width(), metrics.height());
        painter.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, Words("Calibration certificate", "校准证书"));
        painter.drawText(top, Qt::AlignRight | Qt::AlignVCenter,
                         m_bDraft ? QString::fromUtf8(kDraft)
                                  : QStringLiteral("%1 %2").arg(Words("Certificate number", "证书编号"), m_sNumber));
        painter.drawLine(QPointF(0, metrics.height() + gap / 3), QPointF(page.width(), metrics.height() + gap / 3));
        painter.drawText(bottom, Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("Page %1 of %2 / 第 %1 页，共 %2 页").arg(index + 1).arg(pages));
        painter.drawText(bottom, Qt::AlignLeft | Qt::AlignVCenter, m_bDraft ? QString::fromUtf8(kDraft) : m_sNumber);
        if (m_bDraft)
            Watermark(&painter, QRectF(0, 0, device->width(), device->height()), body);

        painter.save();
        const QRectF shown(0, index * page.height(), page.width(), page.height());
        painter.translate(0, band - shown.top());
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shown;
        context.palette.setColor(QPalette::Text, Qt::black);
        document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
    return painter.end();
}
