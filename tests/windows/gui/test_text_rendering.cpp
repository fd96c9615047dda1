// The window's text as Windows draws it (run on the windows platform): every
// glyph of the log inks the box the font's metrics give it. Under Wine, Tahoma's
// bitmaps for 12 pixels once came out clipped: ")" as a tick, "j" and "-" gone.
#include "support/Wizard.h"
#include "ui/Application.h"

#include <QtTest>

using namespace brivel;
using namespace brivel::test;

namespace {

// The rectangle of the pixels darker than the white background, anti-aliased edges included.
QRect Ink(const QImage& image)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 192)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

} // namespace

class TextRenderingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("windows"), "run it with -platform windows");
    }

    void logGlyphsAreWhole_data()
    {
        QTest::addColumn<QChar>("glyph");
        for (const char16_t g : {u')', u'(', u'j', u'-', u'g', u'W', u'á'})
            QTest::newRow(QString(QChar(g)).toUtf8().constData()) << QChar(g);
    }
    void logGlyphsAreWhole()
    {
        QFETCH(QChar, glyph);
        Wizard wz;
        QPlainTextEdit* log = wz.memo("memLog");
        wz.pages()->setCurrentWidget(wz.get<QWidget>("TabFinal"));
        log->setPlainText(QString(glyph));
        QTest::qWait(50);
        const QImage shot = log->viewport()->grab().toImage();
        const QRect ink = Ink(shot);
        const QRect box = log->fontMetrics().boundingRect(glyph);
        const QString what = QStringLiteral("font %1 %2 pt: ink %3 x %4 px, metrics %5 x %6 px")
                                 .arg(QFontInfo(log->font()).family())
                                 .arg(log->font().pointSizeF())
                                 .arg(ink.width())
                                 .arg(ink.height())
                                 .arg(box.width())
                                 .arg(box.height());
        QVERIFY2(!ink.isEmpty(), qPrintable(what));
        // Clipped, Tahoma's ")" and "-" lost a column, "j" everything.
        QVERIFY2(ink.width() >= box.width() && ink.height() >= box.height(), qPrintable(what));
    }
};

BRIVEL_GUI_TEST_MAIN(TextRenderingTest)
#include "test_text_rendering.moc"
