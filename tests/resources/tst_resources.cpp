// The compiled images and Qt's Italian translations as the program finds them
// at run time.

#include "v2resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QMovie>
#include <QPixmap>
#include <QSet>
#include <QTextStream>
#include <QTranslator>
#include <QtTest>

namespace
{

QStringList g_resourceWarnings;
QtMessageHandler g_previousHandler = nullptr;

void recordingHandler(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    if (msg.contains(QLatin1String(":/Resource")) || msg.contains(QLatin1String(":Resource")))
        g_resourceWarnings.append(msg);
    if (g_previousHandler)
        g_previousHandler(type, ctx, msg);
}

struct Expected {
    QString path;
    QList<QSize> sizes;
};

QList<Expected> readExpected()
{
    QList<Expected> out;
    QFile f(QStringLiteral(V2_RESOURCE_LIST));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char('|'));
        Expected e;
        e.path = fields.value(0).trimmed();
        for (const QString &s : fields.value(1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList wh = s.split(QLatin1Char('x'));
            e.sizes.append(QSize(wh.value(0).toInt(), wh.value(1).toInt()));
        }
        out.append(e);
    }
    return out;
}

// Share of pixels that are clearly visible, and how many colours they use.
struct Coverage {
    double visibleShare = 0;
    int colours = 0;
};

Coverage coverage(const QImage &src)
{
    const QImage img = src.convertToFormat(QImage::Format_ARGB32);
    int visible = 0;
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            if (qAlpha(c) > 64) {
                ++visible;
                colours.insert(c);
            }
        }
    return { double(visible) / (img.width() * img.height()), int(colours.size()) };
}

double meanLuminance(const QImage &img, const QRect &area)
{
    double sum = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += qGray(img.pixel(x, y));
    return sum / (area.width() * area.height());
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void namedImageLoadsAtItsSize_data();
    void namedImageLoadsAtItsSize();
    void compiledImagesAreAllNamedAndDecode();
    void differentNamesShowDifferentImages();
    void stateVariantsAreDistinguishable();
    void loaderIsARealAnimation();
    void ownPicturesLeaveRoomForText();
    void italianTranslationsBesideTheProgram();
};

void TestResources::initTestCase()
{
    g_previousHandler = qInstallMessageHandler(recordingHandler);
    v2InitResources();
    v2InitResources(); // the restart loop may call it again
    QVERIFY2(!readExpected().isEmpty(), V2_RESOURCE_LIST);
}

void TestResources::cleanup()
{
    QVERIFY2(g_resourceWarnings.isEmpty(), qPrintable(g_resourceWarnings.join(QLatin1Char('\n'))));
}

void TestResources::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void TestResources::namedImageLoadsAtItsSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<QSize>>("sizes");
    for (const Expected &e : readExpected())
        QTest::newRow(qPrintable(e.path)) << e.path << e.sizes;
}

void TestResources::namedImageLoadsAtItsSize()
{
    QFETCH(QString, path);
    QFETCH(QList<QSize>, sizes);
    QVERIFY(!sizes.isEmpty());

    QImageReader reader(path);
    QVERIFY2(reader.canRead(), qPrintable(reader.errorString()));
    // The suffix must tell the truth: Qt picks the decoder by it first.
    QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("jpg"))
        suffix = QStringLiteral("jpeg");
    QCOMPARE(QString::fromLatin1(reader.format()), suffix);

    if (suffix == QLatin1String("ico")) {
        const QIcon icon(path);
        QVERIFY(!icon.isNull());
        const QList<QSize> available = icon.availableSizes();
        for (const QSize &s : sizes) {
            QVERIFY2(available.contains(s),
                qPrintable(QStringLiteral("%1x%2 missing").arg(s.width()).arg(s.height())));
            const QImage img = icon.pixmap(s).toImage();
            QCOMPARE(img.size(), s);
            QVERIFY(coverage(img).visibleShare > 0.5);
        }
        return;
    }

    QCOMPARE(sizes.size(), 1);
    const QSize size = sizes.first();
    QCOMPARE(reader.size(), size);
    const QImage img = reader.read();
    QVERIFY2(!img.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(img.size(), size);
    const Coverage cov = coverage(img);
    // Something to see, and a shape: either see-through parts or more than
    // one colour (crisp monochrome icons have a single one).
    QVERIFY2(cov.visibleShare > 0.03, qPrintable(QString::number(cov.visibleShare)));
    QVERIFY2(cov.visibleShare < 0.95 || cov.colours >= 2, qPrintable(QString::number(cov.colours)));

    const QPixmap pm(path);
    QVERIFY(!pm.isNull());
    QCOMPARE(pm.size(), size);
    const QIcon icon(path);
    QVERIFY(!icon.isNull());
    QVERIFY(!icon.pixmap(size).isNull());
}

void TestResources::compiledImagesAreAllNamedAndDecode()
{
    QSet<QString> named;
    for (const Expected &e : readExpected())
        named.insert(QDir::cleanPath(
            QStringLiteral(":/") + e.path.mid(e.path.startsWith(QLatin1String(":/")) ? 2 : 1)));

    QStringList compiled;
    QDirIterator it(QStringLiteral(":/Resource"), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        compiled.append(it.next());
    QCOMPARE(compiled.size(), named.size());
    for (const QString &path : compiled) {
        QVERIFY2(
            named.contains(path), qPrintable(path + QStringLiteral(" is compiled but unused")));
        QImageReader reader(path);
        QVERIFY2(
            !reader.read().isNull(), qPrintable(path + QLatin1String(": ") + reader.errorString()));
    }
}

void TestResources::differentNamesShowDifferentImages()
{
    // Two names mapped to the same picture would leave two actions
    // indistinguishable; images of different sizes can't collide.
    QHash<QByteArray, QString> seen;
    for (const Expected &e : readExpected()) {
        const QImage img = QImage(e.path).convertToFormat(QImage::Format_ARGB32);
        QVERIFY(!img.isNull());
        QByteArray key = QByteArray::number(img.width()) + 'x' + QByteArray::number(img.height());
        key += QByteArray(reinterpret_cast<const char *>(img.constBits()), int(img.sizeInBytes()));
        QVERIFY2(!seen.contains(key),
            qPrintable(e.path + QStringLiteral(" looks like ") + seen.value(key)));
        seen.insert(key, e.path);
    }
}

void TestResources::stateVariantsAreDistinguishable()
{
    // The reception toggle swaps these two when checked.
    for (const QString &size : { QStringLiteral("16x16"), QStringLiteral("32x32") }) {
        const QImage off(QStringLiteral(":/Resource/%1/Computer.png").arg(size));
        const QImage on(QStringLiteral(":/Resource/%1/Computer On.png").arg(size));
        QVERIFY(!off.isNull() && !on.isNull());
        int differing = 0;
        for (int y = 0; y < off.height(); ++y)
            for (int x = 0; x < off.width(); ++x)
                differing += off.pixel(x, y) != on.pixel(x, y);
        QVERIFY2(differing > off.width() * off.height() / 10, qPrintable(size));
    }

    // "Up to date" shows a greyed check mark: no saturated colour in it.
    const QImage disabled = QImage(QStringLiteral(":/Resource/16x16/OK_disabled.gif"))
                                .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!disabled.isNull());
    for (int y = 0; y < disabled.height(); ++y)
        for (int x = 0; x < disabled.width(); ++x) {
            const QRgb c = disabled.pixel(x, y);
            if (qAlpha(c) == 0)
                continue;
            const int spread = qMax(qRed(c), qMax(qGreen(c), qBlue(c)))
                - qMin(qRed(c), qMin(qGreen(c), qBlue(c)));
            QVERIFY2(
                spread < 16, qPrintable(QStringLiteral("coloured pixel at %1,%2").arg(x).arg(y)));
        }
}

void TestResources::loaderIsARealAnimation()
{
    QMovie movie(QStringLiteral(":/Resource/16x16/ajax-loader2.gif"));
    QVERIFY(movie.isValid());
    QCOMPARE(movie.format(), QByteArray("gif"));
    QVERIFY2(movie.frameCount() > 1, qPrintable(QString::number(movie.frameCount())));
    QCOMPARE(movie.loopCount(), -1); // forever, while the check runs

    QVERIFY(movie.jumpToFrame(0));
    const QImage first = movie.currentImage();
    QVERIFY(movie.nextFrameDelay() > 0);
    QVERIFY(movie.jumpToNextFrame());
    const QImage second = movie.currentImage();
    QCOMPARE(first.size(), QSize(16, 16));
    QCOMPARE(second.size(), QSize(16, 16));
    QVERIFY(first != second);
    // The background stays see-through so it sits on any dialog colour.
    QCOMPARE(qAlpha(first.pixel(0, 0)), 0);
}

void TestResources::ownPicturesLeaveRoomForText()
{
    // The start-up message is written in white along the bottom of the splash.
    const QImage splash(QStringLiteral(":/Resource/splash.jpg"));
    QVERIFY(!splash.isNull());
    const int band = splash.height() / 8;
    QVERIFY(meanLuminance(splash, QRect(0, splash.height() - band, splash.width(), band)) < 90);

    // The about box writes its labels in the default dark text on the left.
    const QImage about(QStringLiteral(":/Resource/AboutBg.jpg"));
    QVERIFY(!about.isNull());
    QVERIFY(meanLuminance(
                about, QRect(0, about.height() / 3, about.width() * 3 / 5, about.height() / 2))
        > 200);

    // Both carry a picture, not a flat fill.
    for (const QImage &img : { splash, about }) {
        const Coverage cov = coverage(img);
        QVERIFY2(cov.colours > 200, qPrintable(QString::number(cov.colours)));
    }
}

void TestResources::italianTranslationsBesideTheProgram()
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/translations");
    QVERIFY2(QFileInfo::exists(dir + QStringLiteral("/qt_it.qm")), qPrintable(dir));

    // The program asks for "qt_" + the locale name; "it_IT" falls back to
    // qt_it.qm, which only loads when the module catalogues it names are
    // beside it.
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("qt_it_IT"), dir));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annulla"));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&S\u00ec"));
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
