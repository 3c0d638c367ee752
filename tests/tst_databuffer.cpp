#include "PDataBuffer.h"
#include "StdoutCapture.h"

#include <QTest>

namespace {

QByteArray Sequence(int count, int first = 0)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += char(first + i);
    return bytes;
}

QByteArray ReadBytes(PDataBuffer& buffer, int count)
{
    QByteArray bytes(count, '\0');
    return buffer.Read(bytes.data(), quint32(count)) ? bytes : QByteArray();
}

void CheckInvariants(const PDataBuffer& buffer)
{
    QVERIFY(buffer.PackageNum() <= buffer.TotalPackageNum());
    QVERIFY(buffer.WritePage() < buffer.TotalPackageNum());
    QVERIFY(buffer.ReadPage() < buffer.TotalPackageNum());
    QCOMPARE(buffer.WritePage(), (buffer.ReadPage() + buffer.PackageNum()) % buffer.TotalPackageNum());
}

} // namespace

class TestDataBuffer : public QObject
{
    Q_OBJECT

private slots:
    void readFromEmptyBufferTakesNothing();
    void wrapAroundKeepsWriteOrder();
    void exactFillIsNoOverflow();
    void overflowKeepsUnreadBytesAndStoresWhatFits();
    void overflowOfAFullBufferStoresNothing();
    void zeroLengthOperationsChangeNothing();
    void clearEmptiesButKeepsStorage();
    void reInitWithSameByteSizeKeepsStorage();
    void multiBytePackagesWrapWholePackages();
    void emptyPackagesAreCountedWithoutStorage();
};

void TestDataBuffer::readFromEmptyBufferTakesNothing()
{
    PDataBuffer buffer;
    buffer.Init(1, 345);
    char out[7];
    QVERIFY(!buffer.Read(out, 7));
    buffer.Write("abcdef", 6);
    QVERIFY(!buffer.Read(out, 7)); // all or nothing: six is not seven
    QCOMPARE(buffer.PackageNum(), 6u);
    QCOMPARE(ReadBytes(buffer, 6), QByteArray("abcdef"));
}

void TestDataBuffer::wrapAroundKeepsWriteOrder()
{
    PDataBuffer buffer;
    buffer.Init(1, 345);
    const QByteArray first = Sequence(340);
    buffer.Write(first.constData(), 340);
    QCOMPARE(ReadBytes(buffer, 336), first.left(336));

    const QByteArray fresh = Sequence(10, 100);
    buffer.Write(fresh.constData(), 10);
    QCOMPARE(buffer.WritePage(), 5u);
    QCOMPARE(QByteArray(buffer.GetPage(340), 5), fresh.left(5));
    QCOMPARE(QByteArray(buffer.GetPage(0), 5), fresh.mid(5));

    const QByteArray stream = first.mid(336) + fresh;
    QCOMPARE(ReadBytes(buffer, 7), stream.left(7));
    QCOMPARE(ReadBytes(buffer, 7), stream.mid(7));
    QCOMPARE(buffer.PackageNum(), 0u);
    QCOMPARE(buffer.ReadPage(), 5u);
    QCOMPARE(buffer.WritePage(), 5u);
    CheckInvariants(buffer);
}

void TestDataBuffer::exactFillIsNoOverflow()
{
    PDataBuffer buffer;
    buffer.Init(1, 345);
    const QByteArray bytes = Sequence(345);
    StdoutCapture capture;
    buffer.Write(bytes.constData(), 280);
    buffer.Write(bytes.constData() + 280, 65);
    QCOMPARE(capture.Finish(), QByteArray());
    QCOMPARE(buffer.PackageNum(), 345u);
    QCOMPARE(buffer.WritePage(), 0u); // ended exactly at the end of the storage
    QCOMPARE(ReadBytes(buffer, 345), bytes);
}

void TestDataBuffer::overflowKeepsUnreadBytesAndStoresWhatFits()
{
    PDataBuffer buffer;
    buffer.Init(1, 345);
    const QByteArray unread = Sequence(300);
    buffer.Write(unread.constData(), 300);
    QCOMPARE(ReadBytes(buffer, 255), unread.left(255)); // read page now 255

    const QByteArray more = Sequence(280, 40); // 45 + 280 = 325: fits
    buffer.Write(more.constData(), 280);
    const QByteArray tooMuch = Sequence(21, 200); // 325 + 21 = 346
    StdoutCapture capture;
    buffer.Write(tooMuch.constData(), 21);
    QCOMPARE(capture.Finish(), QByteArray("m_nPackageNum = 346,\n m_nTotalPackageNum = 345 \n"));

    QCOMPARE(buffer.PackageNum(), 345u);
    CheckInvariants(buffer);
    QCOMPARE(ReadBytes(buffer, 345), unread.mid(255) + more + tooMuch.left(20));
}

void TestDataBuffer::overflowOfAFullBufferStoresNothing()
{
    PDataBuffer buffer;
    buffer.Init(1, 8);
    buffer.Write("01234567", 8);
    StdoutCapture capture;
    buffer.Write("89", 2);
    QCOMPARE(capture.Finish(), QByteArray("m_nPackageNum = 10,\n m_nTotalPackageNum = 8 \n"));
    QCOMPARE(buffer.PackageNum(), 8u);
    QCOMPARE(ReadBytes(buffer, 8), QByteArray("01234567"));
}

void TestDataBuffer::zeroLengthOperationsChangeNothing()
{
    PDataBuffer buffer;
    buffer.Init(1, 16);
    buffer.Write("abc", 3);
    char out[1];
    QVERIFY(buffer.Read(out, 0));
    buffer.Write("x", 0);
    QCOMPARE(buffer.PackageNum(), 3u);
    QCOMPARE(buffer.WritePage(), 3u);
    QCOMPARE(buffer.ReadPage(), 0u);

    PDataBuffer uninitialised;
    QVERIFY(uninitialised.Read(out, 0));
    QVERIFY(!uninitialised.Read(out, 1));
}

void TestDataBuffer::clearEmptiesButKeepsStorage()
{
    PDataBuffer buffer;
    buffer.Init(1, 16);
    buffer.Write("abcdefgh", 8);
    char* storage = buffer.GetPage(0);
    buffer.Clear();
    char out[1];
    QVERIFY(!buffer.Read(out, 1));
    QCOMPARE(static_cast<const void*>(buffer.GetPage(0)), static_cast<const void*>(storage)); // the same block
    QCOMPARE(QByteArray(storage, 8), QByteArray("abcdefgh")); // not overwritten
    buffer.Write("z", 1);
    QCOMPARE(ReadBytes(buffer, 1), QByteArray("z"));
}

void TestDataBuffer::reInitWithSameByteSizeKeepsStorage()
{
    PDataBuffer buffer;
    buffer.Init(1, 12);
    char* storage = buffer.GetPage(0);
    buffer.Write("abcdef", 6);
    buffer.Init(3, 4);
    QCOMPARE(static_cast<const void*>(buffer.GetPage(0)), static_cast<const void*>(storage)); // the same block
    QCOMPARE(buffer.PackageSize(), 3u);
    QCOMPARE(buffer.TotalPackageNum(), 4u);
    QCOMPARE(buffer.PackageNum(), 0u);
    QCOMPARE(buffer.WritePage(), 0u);
    QCOMPARE(buffer.ReadPage(), 0u);
}

void TestDataBuffer::multiBytePackagesWrapWholePackages()
{
    PDataBuffer buffer;
    buffer.Init(4, 3);
    buffer.Write("aaaabbbb", 2);
    char more[12];
    QVERIFY(!buffer.Read(more, 3)); // counts are in packages, not bytes
    QByteArray two(8, '\0');
    QVERIFY(buffer.Read(two.data(), 2));
    QCOMPARE(two, QByteArray("aaaabbbb"));
    buffer.Write("ccccddddeeee", 3); // pages 2, 0, 1
    QCOMPARE(buffer.WritePage(), 2u);
    QByteArray three(12, '\0');
    QVERIFY(buffer.Read(three.data(), 3));
    QCOMPARE(three, QByteArray("ccccddddeeee"));
    CheckInvariants(buffer);
}

// A geometry the console never uses, but Init accepts: nothing may be copied
// to or from the storage that does not exist.
void TestDataBuffer::emptyPackagesAreCountedWithoutStorage()
{
    PDataBuffer buffer;
    buffer.Init(0, 4);
    buffer.Write("x", 3);
    QCOMPARE(buffer.PackageNum(), 3u);
    char out[1] = { 'y' };
    QVERIFY(buffer.Read(out, 3));
    QCOMPARE(out[0], 'y');
    QCOMPARE(buffer.PackageNum(), 0u);
}

QTEST_GUILESS_MAIN(TestDataBuffer)
#include "tst_databuffer.moc"
