// The logo tool's own widgets: the list's cut texts, columns and check boxes, the preview's
// size per quality and its dots, and the demo's sample bitmaps as the converter reads them.
#include "gui/DemoLogos.h"
#include "gui/LogoListView.h"
#include "gui/LogoPreview.h"
#include "logo/BmpDecoder.h"
#include "logo/CBitmapRaster.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace korva;

class LogoWidgetsTest : public QObject {
    Q_OBJECT
private slots:
    void cutTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("cellWidth");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<bool>("empty");
        QTest::newRow("fits") << "abc" << 200 << false << false;
        QTest::newRow("cut") << QString(60, 'W') << 80 << true << false;
        QTest::newRow("narrow cell hides a cut text") << QString(60, 'W') << 14 << true << true;
        QTest::newRow("narrow cell keeps a fitting text") << "" << 14 << false << true;
        QTest::newRow("one wider than the cell") << "WW" << 15 << true << false;
    }
    void cutTexts() {
        QFETCH(QString, text);
        QFETCH(int, cellWidth);
        QFETCH(bool, cut);
        QFETCH(bool, empty);
        const QFontMetrics fm(QFont(QStringLiteral("DejaVu Sans"), 9));
        bool wasCut = false;
        const QString shown = LogoListView::fittedText(text, cellWidth, fm, wasCut);
        QCOMPARE(wasCut, cut);
        QCOMPARE(shown.isEmpty(), empty);
        if (cut && !empty) {
            QVERIFY(shown.endsWith("..."));
            QVERIFY(text.startsWith(shown.chopped(3)));
            // The cut text fits the cell inside its two 6-pixel insets, unless nothing of the
            // text fits beside the dots at all.
            if (shown != "...")
                QVERIFY(fm.horizontalAdvance(shown) <= cellWidth - 12);
        }
        if (!cut)
            QCOMPARE(shown, text);
    }

    void columnsRowsAndBoxes() {
        LogoListView list(true);
        list.resize(500, 200);
        list.show();
        QCOMPARE(list.headerItem()->text(0), QString(" "));
        QCOMPARE(list.headerItem()->text(1), QString("   No."));
        QCOMPARE(list.headerItem()->text(2), QString("Name"));
        QCOMPARE(list.headerItem()->text(3), QString("Size"));
        QCOMPARE(list.columnWidth(0), 17);
        QCOMPARE(list.columnWidth(1), 50);
        QCOMPARE(list.columnWidth(3), 86);
        QCOMPARE(list.columnWidth(2), list.viewport()->width() - 158);

        list.showRows({{"  1", "a.bmp", "            416"},
                       {"  2", "b.bmp", "           1664"},
                       {"  3", "c.bmp", "             64"}},
                      1);
        QCOMPARE(list.topLevelItemCount(), 3);
        QCOMPARE(list.selectedRows(), std::vector<int>{1});
        QCOMPARE(list.topLevelItem(2)->text(3), QString("             64"));
        list.showChecks({false, true});
        QVERIFY(!list.checkBox(0)->isChecked());
        QVERIFY(list.checkBox(1)->isChecked());
        QVERIFY(!list.checkBox(2)->isChecked());
        QVERIFY(!list.checkBox(3));

        QSignalSpy toggled(&list, &LogoListView::checkToggled);
        QTest::mouseClick(list.checkBox(2), Qt::LeftButton, {}, list.checkBox(2)->rect().center());
        QCOMPARE(toggled.count(), 1);
        QCOMPARE(toggled.at(0).at(0).toInt(), 2);
        QCOMPARE(toggled.at(0).at(1).toBool(), true);

        QSignalSpy clicked(&list, &LogoListView::headerClicked);
        QHeaderView* h = list.header();
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(1) + 10, h->height() / 2));
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.at(0).at(0).toInt(), 1);

        QSignalSpy selected(&list, &LogoListView::rowSelected);
        const QRect row2 = list.visualItemRect(list.topLevelItem(2));
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, row2.center());
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), 2);

        LogoListView plain(false);
        plain.showRows({{"  1", "a.bmp", "1"}}, -1);
        QVERIFY(!plain.checkBox(0));
        QVERIFY(plain.selectedRows().empty());
    }

    void previewSizesAndDots() {
        // A 13 x 8 bitmap: its left columns red, the rest blue, drawn in those colours.
        PreviewPicture picture{13, 8, std::vector<std::uint32_t>(13 * 8, 0x0000FF), ""};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 6; ++x)
                picture.rgb[static_cast<std::size_t>(y * 13 + x)] = 0xFF0000;
        LogoPreview preview;
        preview.resize(300, 200);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QVERIFY(!preview.hasPicture());
        QVERIFY(preview.drawnRect().isEmpty());
        preview.setPicture(picture);
        QVERIFY(preview.hasPicture());
        const QRect area = preview.contentsRect();
        struct Case {
            PreviewQuality quality;
            int wx, hx;
        } cases[] = {{PreviewQuality::Normal, 1, 1},
                     {PreviewQuality::Quadraple, 2, 2},
                     {PreviewQuality::DoubleHeight, 1, 2},
                     {PreviewQuality::DoubleWidth, 2, 1}};
        // Wider than high: half the width, the height in proportion (or half the height).
        PreviewSize base = previewBaseSize(area.width(), area.height(), 13, 8);
        for (const Case& c : cases) {
            preview.setQuality(c.quality);
            QCOMPARE(preview.drawnRect(),
                     QRect(area.topLeft(), QSize(base.width * c.wx, base.height * c.hx)));
        }
        preview.setQuality(PreviewQuality::Normal);
        const QImage shot = preview.grab().toImage();
        const QRect r = preview.drawnRect();
        QCOMPARE(shot.pixel(r.left() + 2, r.center().y()) & 0xFFFFFFu, 0xFF0000u);
        QCOMPARE(shot.pixel(r.right() - 2, r.center().y()) & 0xFFFFFFu, 0x0000FFu);
        // Outside the picture the frame is blank.
        QCOMPARE(shot.pixel(r.right() + 5, r.center().y()),
                 preview.palette().color(QPalette::Base).rgb());
        preview.clearPicture();
        QVERIFY(preview.drawnRect().isEmpty());
    }

    void demoLogosConvert() {
        QTemporaryDir dir;
        const QStringList paths = writeDemoLogos(dir.path());
        QCOMPARE(paths.size(), 3);
        const int depths[] = {24, 8, 1};
        LogoOptions options;
        CBitmapRaster raster(options);
        for (int i = 0; i < paths.size(); ++i) {
            QVERIFY2(raster.Load(paths[i].toStdString()), qPrintable(paths[i]));
            QCOMPARE(int(raster.description().bitsPerPixel), depths[i]);
            QVERIFY(raster.ConvertMonochrome(0));
            const std::uint8_t* out = raster.output();
            const auto black =
                std::count_if(out, out + raster.outputLength(), [](std::uint8_t b) { return b; });
            QVERIFY2(black > 0, "a sample prints some dots");
            QVERIFY2(black < static_cast<long>(raster.outputLength()), "and is not all black");
        }
    }
};

QTEST_MAIN(LogoWidgetsTest)
#include "LogoWidgetsTest.moc"
