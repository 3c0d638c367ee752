// The automation objects on their own: binding, ownership, and that every
// name or argument they do not understand is refused where it happens.
#include "AxObject.h"
#include "AxRecorder.h"

#include <QColor>
#include <QTest>

namespace {

enum class Op { Call, Set, Sub };

// An application with a new workbook, and the objects a report touches.
struct Spreadsheet
{
    AxRecorder ownRecorder;
    AxRecorder& recorder;
    AxObject app;
    AxObject* pBook = nullptr;
    AxObject* pSheet = nullptr;

    explicit Spreadsheet(AxRecorder* pRecorder = nullptr)
        : recorder(pRecorder ? *pRecorder : ownRecorder)
        , app(&recorder)
    {
        app.setControl(QStringLiteral("Excel.Application"));
        AxObject* pBooks = app.querySubObject("WorkBooks");
        if (pBooks)
            pBooks->dynamicCall("Add");
        pBook = app.querySubObject("ActiveWorkBook");
        pSheet = pBook ? pBook->querySubObject("Worksheets(int)", 1) : nullptr;
    }

    AxObject* Object(const QString& which)
    {
        if (which == QLatin1String("application"))
            return &app;
        if (which == QLatin1String("workbooks"))
            return app.querySubObject("WorkBooks");
        if (which == QLatin1String("workbook"))
            return pBook;
        if (which == QLatin1String("sheet"))
            return pSheet;
        if (which == QLatin1String("cell"))
            return pSheet->querySubObject("Cells(int,int)", 1, 1);
        AxObject* pRange = pSheet->querySubObject("Range(const QString&)", QStringLiteral("A1:B2"));
        if (which == QLatin1String("range"))
            return pRange;
        return pRange->querySubObject(which == QLatin1String("font") ? "Font" : "Borders");
    }
};

bool Apply(AxObject& object, Op op, const char* name, const QVariantList& args)
{
    const QVariant a = args.value(0);
    const QVariant b = args.value(1);
    switch (op) {
    case Op::Call: return object.dynamicCall(name, a, b).isValid();
    case Op::Set: return object.setProperty(name, a);
    case Op::Sub: return object.querySubObject(name, a, b) != nullptr;
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Op)

class TestAxObject : public QObject
{
    Q_OBJECT

private slots:
    void bindsOnlyTheSpreadsheetClass_data();
    void bindsOnlyTheSpreadsheetClass();
    void aSubObjectCannotBeBound();
    void namesAreRefusedUnlessKnown_data();
    void namesAreRefusedUnlessKnown();
    void missingNameIsRefused();
    void argumentsAreChecked_data();
    void argumentsAreChecked();
    void acceptedOperationsSucceed();
    void mergesMayNotOverlap();
    void subObjectsGoWithTheApplication();
};

void TestAxObject::bindsOnlyTheSpreadsheetClass_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("bound");
    QTest::newRow("spreadsheet") << QStringLiteral("Excel.Application") << true;
    QTest::newRow("other class") << QStringLiteral("Word.Application") << false;
    QTest::newRow("versioned") << QStringLiteral("Excel.Application.16") << false;
    QTest::newRow("padded") << QStringLiteral(" Excel.Application") << false;
    QTest::newRow("empty") << QString() << false;
}

void TestAxObject::bindsOnlyTheSpreadsheetClass()
{
    QFETCH(QString, control);
    QFETCH(bool, bound);

    AxRecorder recorder;
    {
        AxObject object(&recorder);
        QCOMPARE(object.setControl(control), bound);
        QCOMPARE(object.kind() == AxOperation::Object::Application, bound);
        QCOMPARE(object.lastError().isEmpty(), bound);
        if (!bound) {
            QVERIFY(object.lastError().contains(control));
            QVERIFY(!object.querySubObject("WorkBooks"));
            QVERIFY(!object.dynamicCall("Quit()").isValid());
            QVERIFY(!object.lastError().isEmpty());
        }
    }
    const QVector<AxOperation> ops = recorder.Operations();
    QVERIFY(ops.size() >= 2);
    QCOMPARE(ops.first().type, AxOperation::Type::Bind);
    QCOMPARE(ops.first().object, AxOperation::Object::None);
    QCOMPARE(ops.first().name, control.toLatin1());
    QCOMPARE(ops.first().ok, bound);
    QCOMPARE(ops.last().type, AxOperation::Type::Release);
    QCOMPARE(ops.last().object, bound ? AxOperation::Object::Application : AxOperation::Object::None);
}

void TestAxObject::aSubObjectCannotBeBound()
{
    Spreadsheet spreadsheet;
    QVERIFY(spreadsheet.pSheet);
    QVERIFY(!spreadsheet.pSheet->setControl(QStringLiteral("Excel.Application")));
    QCOMPARE(spreadsheet.pSheet->kind(), AxOperation::Object::Worksheet);
    QVERIFY(spreadsheet.pSheet->querySubObject("Cells(int,int)", 1, 1));
}

void TestAxObject::namesAreRefusedUnlessKnown_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<Op>("op");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QVariantList>("args");

    const QVariantList none;
    const QVariantList text{QStringLiteral("x")};
    QTest::newRow("app call, other signature") << "application" << Op::Call << QByteArray("SetVisible(bool)")
                                               << QVariantList{false};
    QTest::newRow("app set, other name") << "application" << Op::Set << QByteArray("Visible") << QVariantList{false};
    QTest::newRow("app sub, other case") << "application" << Op::Sub << QByteArray("Workbooks") << none;
    QTest::newRow("app sub, a method") << "application" << Op::Sub << QByteArray("Quit()") << none;
    QTest::newRow("app set, a sub-object") << "application" << Op::Set << QByteArray("WorkBooks") << QVariantList{1};
    QTest::newRow("workbooks call") << "workbooks" << Op::Call << QByteArray("Open") << text;
    QTest::newRow("workbook sub") << "workbook" << Op::Sub << QByteArray("Sheets(int)") << QVariantList{1};
    QTest::newRow("workbook call") << "workbook" << Op::Call << QByteArray("Save()") << none;
    QTest::newRow("sheet sub, bare name") << "sheet" << Op::Sub << QByteArray("Cells") << QVariantList{1, 1};
    QTest::newRow("sheet call") << "sheet" << Op::Call << QByteArray("SetValue(const QString&)") << text;
    QTest::newRow("cell call") << "cell" << Op::Call << QByteArray("SetValue(QString)") << text;
    QTest::newRow("cell set") << "cell" << Op::Set << QByteArray("Value") << text;
    QTest::newRow("range sub") << "range" << Op::Sub << QByteArray("Interior") << none;
    QTest::newRow("range set") << "range" << Op::Set << QByteArray("ColumnWidth") << QVariantList{20};
    QTest::newRow("font set") << "font" << Op::Set << QByteArray("Bold") << QVariantList{true};
    QTest::newRow("font set, lower case") << "font" << Op::Set << QByteArray("size") << QVariantList{12};
    QTest::newRow("borders set") << "borders" << Op::Set << QByteArray("Weight") << QVariantList{2};
    QTest::newRow("borders call") << "borders" << Op::Call << QByteArray("LineStyle") << text;
}

void TestAxObject::namesAreRefusedUnlessKnown()
{
    QFETCH(QString, object);
    QFETCH(Op, op);
    QFETCH(QByteArray, name);
    QFETCH(QVariantList, args);

    Spreadsheet spreadsheet;
    AxObject* pObject = spreadsheet.Object(object);
    QVERIFY(pObject);
    QVERIFY(!Apply(*pObject, op, name.constData(), args));
    QVERIFY2(pObject->lastError().contains(QString::fromLatin1(name)), qPrintable(pObject->lastError()));
    const AxOperation last = spreadsheet.recorder.Operations().last();
    QCOMPARE(last.name, name);
    QVERIFY(!last.ok);
}

void TestAxObject::missingNameIsRefused()
{
    Spreadsheet spreadsheet;
    QVERIFY(!spreadsheet.app.dynamicCall(nullptr).isValid());
    QVERIFY(!spreadsheet.app.querySubObject(nullptr));
    QVERIFY(!spreadsheet.app.setProperty(nullptr, true));
    QVERIFY(!spreadsheet.app.lastError().isEmpty());
}

void TestAxObject::argumentsAreChecked_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<Op>("op");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QVariantList>("args");

    QTest::newRow("visible, not a truth value") << "application" << Op::Call << QByteArray("SetVisible (bool Visible)")
                                                << QVariantList{QStringLiteral("no")};
    QTest::newRow("visible, missing") << "application" << Op::Call << QByteArray("SetVisible (bool Visible)")
                                      << QVariantList();
    QTest::newRow("alerts, a number") << "application" << Op::Set << QByteArray("DisplayAlerts") << QVariantList{0};
    QTest::newRow("quit, an argument") << "application" << Op::Call << QByteArray("Quit()") << QVariantList{1};
    QTest::newRow("second sheet") << "workbook" << Op::Sub << QByteArray("Worksheets(int)") << QVariantList{2};
    QTest::newRow("sheet 0") << "workbook" << Op::Sub << QByteArray("Worksheets(int)") << QVariantList{0};
    QTest::newRow("save, no path") << "workbook" << Op::Call << QByteArray("SaveAs(const QString&)") << QVariantList();
    QTest::newRow("save, not a text") << "workbook" << Op::Call << QByteArray("SaveAs(const QString&)")
                                      << QVariantList{42};
    QTest::newRow("row 0") << "sheet" << Op::Sub << QByteArray("Cells(int,int)") << QVariantList{0, 1};
    QTest::newRow("column past Z") << "sheet" << Op::Sub << QByteArray("Cells(int,int)") << QVariantList{1, 27};
    QTest::newRow("row past the sheet") << "sheet" << Op::Sub << QByteArray("Cells(int,int)")
                                        << QVariantList{1048577, 1};
    QTest::newRow("cell, one number") << "sheet" << Op::Sub << QByteArray("Cells(int,int)") << QVariantList{1};
    QTest::newRow("cell, fraction") << "sheet" << Op::Sub << QByteArray("Cells(int,int)") << QVariantList{1.5, 1};
    for (const char* address :
         {"", "A0", "1:0", "0:1", "AA1", "A1:B2:C3", "A", "1", "A1:", "1A", "A-1", "A1:5", "a1", "A1", "C5:A2", "5:2"})
        QTest::newRow(qPrintable(QStringLiteral("range \"%1\"").arg(QLatin1String(address))))
            << "sheet" << Op::Sub << QByteArray("Range(const QString&)") << QVariantList{QString::fromLatin1(address)};
    QTest::newRow("value, a number") << "cell" << Op::Call << QByteArray("SetValue(const QString&)")
                                     << QVariantList{5};
    QTest::newRow("value, too long") << "cell" << Op::Call << QByteArray("SetValue(const QString&)")
                                     << QVariantList{QString(32768, QLatin1Char('x'))};
    QTest::newRow("left alignment") << "range" << Op::Set << QByteArray("HorizontalAlignment")
                                    << QVariantList{-4131};
    QTest::newRow("top alignment") << "cell" << Op::Set << QByteArray("VerticalAlignment") << QVariantList{-4160};
    QTest::newRow("wrap, a word") << "range" << Op::Set << QByteArray("WrapText") << QVariantList{QStringLiteral("yes")};
    QTest::newRow("merge, a number") << "range" << Op::Set << QByteArray("MergeCells") << QVariantList{1};
    QTest::newRow("unmerge") << "range" << Op::Set << QByteArray("MergeCells") << QVariantList{false};
    QTest::newRow("font size, a fraction") << "font" << Op::Set << QByteArray("Size") << QVariantList{10.5};
    QTest::newRow("row height too big") << "range" << Op::Set << QByteArray("RowHeight") << QVariantList{410};
    QTest::newRow("row height negative") << "range" << Op::Set << QByteArray("RowHeight") << QVariantList{-1};
    QTest::newRow("font size 0") << "font" << Op::Set << QByteArray("Size") << QVariantList{0};
    QTest::newRow("font size, a word") << "font" << Op::Set << QByteArray("Size") << QVariantList{QStringLiteral("big")};
    QTest::newRow("dashed line") << "borders" << Op::Set << QByteArray("LineStyle") << QVariantList{QStringLiteral("2")};
    QTest::newRow("no line") << "borders" << Op::Set << QByteArray("LineStyle") << QVariantList{-4142};
    QTest::newRow("colour as text") << "borders" << Op::Set << QByteArray("Color")
                                    << QVariantList{QStringLiteral("black")};
    QTest::newRow("invalid colour") << "borders" << Op::Set << QByteArray("Color") << QVariantList{QColor()};
}

void TestAxObject::argumentsAreChecked()
{
    QFETCH(QString, object);
    QFETCH(Op, op);
    QFETCH(QByteArray, name);
    QFETCH(QVariantList, args);

    Spreadsheet spreadsheet;
    AxObject* pObject = spreadsheet.Object(object);
    QVERIFY(pObject);
    QVERIFY(!Apply(*pObject, op, name.constData(), args));
    // Said in words: what the spreadsheet would not do and what it takes.
    const QString error = pObject->lastError();
    QVERIFY2(error.startsWith(QLatin1String("the spreadsheet refused to "))
                 && error.contains(QLatin1String(": it takes ")),
             qPrintable(error));
    QVERIFY(!spreadsheet.recorder.Operations().last().ok);
}

void TestAxObject::acceptedOperationsSucceed()
{
    // The counterpart of the refusals above: the same objects take the
    // forms the report uses, so a refusal there is not a blanket one.
    Spreadsheet spreadsheet;
    QVERIFY(spreadsheet.app.dynamicCall("SetVisible (bool Visible)", QStringLiteral("false")).isValid());
    QVERIFY(spreadsheet.app.setProperty("DisplayAlerts", false));
    AxObject* pCell = spreadsheet.Object(QStringLiteral("cell"));
    QCOMPARE(pCell->dynamicCall("SetValue(const QString&)", QStringLiteral("x")), QVariant(true));
    QVERIFY(pCell->setProperty("VerticalAlignment", -4108));
    QVERIFY(spreadsheet.Object(QStringLiteral("font"))->setProperty("Size", 12));
    QVERIFY(spreadsheet.Object(QStringLiteral("borders"))->setProperty("LineStyle", QStringLiteral("1")));
    QVERIFY(spreadsheet.Object(QStringLiteral("borders"))->setProperty("Color", QColor(0, 0, 0, 255)));
    for (const char* address : {"1:1", "2:5", "A1:C1", "A2:C5", "Z1048576:Z1048576"})
        QVERIFY2(spreadsheet.pSheet->querySubObject("Range(const QString&)", QString::fromLatin1(address)), address);
    QVERIFY(pCell->lastError().isEmpty());
    for (const AxOperation& op : spreadsheet.recorder.Operations())
        QVERIFY2(op.ok, op.name.constData());
}

void TestAxObject::mergesMayNotOverlap()
{
    Spreadsheet spreadsheet;
    const auto merge = [&spreadsheet](const char* address) {
        AxObject* pRange = spreadsheet.pSheet->querySubObject("Range(const QString&)", QString::fromLatin1(address));
        const bool bMerged = pRange->setProperty("MergeCells", true);
        return bMerged ? QString() : pRange->lastError();
    };
    QCOMPARE(merge("A1:C1"), QString());
    QCOMPARE(merge("A1:C1"), QString()); // the same area again
    QCOMPARE(merge("B1:B1"), QString()); // a single cell is no merge
    QCOMPARE(merge("A2:B2"), QString());
    QVERIFY(!merge("C1:D1").isEmpty());
    QVERIFY(!merge("A1:B1").isEmpty());
    QVERIFY(!merge("A3:A4").isEmpty()); // merges lie within one row
}

void TestAxObject::subObjectsGoWithTheApplication()
{
    AxRecorder recorder;
    {
        Spreadsheet spreadsheet(&recorder);
        QVERIFY(spreadsheet.pSheet->querySubObject("Cells(int,int)", 2, 3)->querySubObject("Font"));
    }
    // Only the application's release is an operation of its own.
    int nReleases = 0;
    for (const AxOperation& op : recorder.Operations())
        nReleases += op.type == AxOperation::Type::Release ? 1 : 0;
    QCOMPARE(nReleases, 1);
    QCOMPARE(recorder.Operations().last().type, AxOperation::Type::Release);
    QCOMPARE(recorder.Operations().last().object, AxOperation::Object::Application);
}

QTEST_GUILESS_MAIN(TestAxObject)
#include "tst_axobject.moc"
