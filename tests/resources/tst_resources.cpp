// The compiled images as the program finds them at run time.

#include "v2resources.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>
#include <QtTest>

namespace
{

// The resources icons.map compiles, as ":/Resource/..." paths.
QStringList compiledNames()
{
    QStringList out;
    QFile map(QStringLiteral(V2_SOURCE_DIR "/src/resources/icons.map"));
    if (!map.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    QTextStream in(&map);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            out << QStringLiteral(":/Resource/") + line.section(QLatin1Char('|'), 0, 0).trimmed();
    }
    return out;
}

// The resource paths the program's sources and forms name.
QSet<QString> namedByTheCode()
{
    QSet<QString> out;
    const QRegularExpression path(QStringLiteral(":/?Resource/[^\"<\\s]+\\.(png|gif|jpg|ico)"));
    QDirIterator it(QStringLiteral(V2_SOURCE_DIR "/src"), { "*.cpp", "*.h", "*.ui" }, QDir::Files,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        if (it.filePath().contains(QLatin1String("/generator/")) || !f.open(QIODevice::ReadOnly))
            continue;
        auto m = path.globalMatch(QString::fromUtf8(f.readAll()));
        while (m.hasNext())
            out.insert(m.next().captured().replace(QStringLiteral(":Resource"), ":/Resource"));
    }
    return out;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { v2InitResources(); }
    void compiledImageLoadsAtItsSize_data();
    void compiledImageLoadsAtItsSize();
    void everyImageTheCodeNamesIsCompiled();
    void differentNamesShowDifferentImages();
};

void TestResources::compiledImageLoadsAtItsSize_data()
{
    QTest::addColumn<QString>("path");
    const QStringList names = compiledNames();
    QVERIFY(names.size() > 40);
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

void TestResources::compiledImageLoadsAtItsSize()
{
    QFETCH(QString, path);
    QImageReader reader(path);
    // The suffix must tell the truth: Qt picks the decoder by it first.
    const QString suffix = QFileInfo(path).suffix().toLower().replace("jpg", "jpeg");
    QCOMPARE(QString::fromLatin1(reader.format()), suffix);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    // Images in a "WxH" folder have that size.
    const QRegularExpressionMatch folder
        = QRegularExpression(QStringLiteral("/(\\d+)x(\\d+)/")).match(path);
    if (folder.hasMatch() && suffix != QLatin1String("ico"))
        QCOMPARE(image.size(), QSize(folder.captured(1).toInt(), folder.captured(2).toInt()));
    QVERIFY(!QIcon(path).isNull());
}

void TestResources::everyImageTheCodeNamesIsCompiled()
{
    const QSet<QString> named = namedByTheCode();
    QVERIFY(named.size() > 20);
    const QStringList compiled = compiledNames();
    for (const QString &path : named)
        QVERIFY2(compiled.contains(path), qPrintable(path + QStringLiteral(" is not compiled")));
}

void TestResources::differentNamesShowDifferentImages()
{
    // Two names mapped to the same picture would leave two actions
    // indistinguishable.
    QHash<QByteArray, QString> seen;
    for (const QString &path : compiledNames()) {
        const QImage img = QImage(path).convertToFormat(QImage::Format_ARGB32);
        QByteArray key = QByteArray::number(img.width()) + 'x' + QByteArray::number(img.height());
        key += QByteArray(reinterpret_cast<const char *>(img.constBits()), int(img.sizeInBytes()));
        QVERIFY2(
            !seen.contains(key), qPrintable(path + QStringLiteral(" looks like ") + seen[key]));
        seen.insert(key, path);
    }
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
