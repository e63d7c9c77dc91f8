// The colour button and its drop-down palette, clicked as a person clicks them: the grid, the
// marked cell, the other well with system colours, closing without a choice, the position near
// the screen's bottom, a disabled button, and the colour dialog behind "&Other" with its custom
// colours kept per button.

#include <QApplication>
#include <QColorDialog>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialogs/color_button.h"
#include "support/answer_modal.h"
#include "widgets/colors.h"

using namespace tarnwick;
using tarnwick::testing::AnswerModal;
using ui::TSM_ColorButton;
using ui::TSM_ColorButtonPalette;

Q_DECLARE_METATYPE(tarnwick::TColor)

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kNavy = 0x7F0000;
constexpr TColor kOdd = 0x123456;  // in no cell of the grid

QColor PixelAt(QWidget* w, const QPoint& p) { return w->grab().toImage().pixelColor(p); }

}  // namespace

class ColorButtonTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> window;
    TSM_ColorButton* button = nullptr;

    TSM_ColorButtonPalette* Open()
    {
        QTest::mouseClick(button, Qt::LeftButton);
        TSM_ColorButtonPalette* palette = button->Palette();
        if (palette) (void)QTest::qWaitForWindowExposed(palette);
        return palette;
    }
    void WaitClosed()
    {
        QTRY_VERIFY(!button->Palette());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->resize(300, 200);
        button = new TSM_ColorButton(window.get());
        button->move(20, 20);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        window.reset();
        button = nullptr;
    }

    void TheColourTableHoldsItsSizeAndCopiesWhatFits()
    {
        ui::TColorArrayClass grid = ui::DefaultPaletteColors();
        QCOMPARE(grid.Columns(), 4);
        QCOMPARE(grid.Rows(), 5);
        QCOMPARE(grid.Color(1, 1), TColor(0xFFFFFF));
        QCOMPARE(grid.Color(2, 2), TColor(0x00007F));  // dark red
        QCOMPARE(grid.Color(4, 3), TColor(0x7F7F00));  // teal
        QCOMPARE(grid.Color(2, 5), TColor(0xEFBF9F));  // 159, 191, 239
        QCOMPARE(grid.Color(5, 1), TColor(clBlack));   // outside
        grid.SetColor(0, 0, kRed);                     // outside: nothing
        ui::TColorArrayClass small(2, 2, clWhite);
        small.Assign(grid);
        QCOMPARE(small.Color(2, 2), TColor(0x00007F));
        ui::TColorArrayClass big(8, 2, clWhite);
        big.Assign(small);
        QCOMPARE(big.Color(3, 1), TColor(clWhite));
        QCOMPARE(big.Color(2, 1), TColor(0));
    }

    void APaletteColourMarksItsCellAndAClickChoosesAnother()
    {
        button->SetColor(kRed);
        QSignalSpy changes(button, &TSM_ColorButton::OnColorChange);
        TSM_ColorButtonPalette* palette = Open();
        QVERIFY(palette);
        QVERIFY(button->isDown());
        QCOMPARE(palette->size(), QSize(72, 121));
        QCOMPARE(palette->HotCell(), QPoint(1, 2));
        // The palette opens just below the button, at its left edge.
        QCOMPARE(palette->geometry().topLeft(), button->mapToGlobal(QPoint(0, button->height())));
        // The cell (2, 4) shows navy.
        QCOMPARE(PixelAt(palette, TSM_ColorButtonPalette::CellRect(2, 4).center()), QColor(0, 0, 127));
        // The mouse moving over a cell marks it.
        QTest::mouseMove(palette, TSM_ColorButtonPalette::CellRect(3, 1).center());
        QTRY_COMPARE(palette->HotCell(), QPoint(3, 1));
        if (const QString folder = qEnvironmentVariable("TARNWICK_SHOTS"); !folder.isEmpty()) {
            palette->grab().scaled(palette->size() * 3).save(folder + QStringLiteral("/color-palette.png"));
            button->grab().scaled(button->size() * 3).save(folder + QStringLiteral("/color-button-down.png"));
        }
        QTest::mouseClick(palette, Qt::LeftButton, {}, TSM_ColorButtonPalette::CellRect(2, 4).center());
        WaitClosed();
        QCOMPARE(button->Color(), kNavy);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.at(0).at(0).value<TColor>(), kNavy);
        QVERIFY(!button->isDown());
        // The swatch shows the colour.
        QCOMPARE(PixelAt(button, QPoint(12, 11)), QColor(0, 0, 127));
    }

    void AColourOutsideTheGridGoesToTheOtherWell()
    {
        button->SetColor(kOdd);
        TSM_ColorButtonPalette* palette = Open();
        QVERIFY(palette);
        QCOMPARE(palette->HotCell(), QPoint(0, 0));
        QCOMPARE(PixelAt(palette, TSM_ColorButtonPalette::OtherWellRect().center()), ui::ToQColor(kOdd, {}));
        // Choosing the well keeps the colour; choosing it is no change.
        QSignalSpy changes(button, &TSM_ColorButton::OnColorChange);
        QTest::mouseClick(palette, Qt::LeftButton, {}, TSM_ColorButtonPalette::OtherWellRect().center());
        WaitClosed();
        QCOMPARE(button->Color(), kOdd);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(button->OtherColor(), kOdd);
    }

    void SystemColoursShowAsTheDesktopColours()
    {
        // The default other colour is the button face: the well shows the palette's button colour.
        QCOMPARE(button->OtherColor(), clBtnFace);
        button->SetColor(clBtnFace);
        TSM_ColorButtonPalette* palette = Open();
        QVERIFY(palette);
        QCOMPARE(palette->HotCell(), QPoint(0, 0));
        QCOMPARE(PixelAt(palette, TSM_ColorButtonPalette::OtherWellRect().center()),
                 palette->palette().color(QPalette::Active, QPalette::Button));
        QTest::keyClick(palette, Qt::Key_Escape);
        WaitClosed();
        // Selected text in the highlight colour of the desktop.
        button->SetColor(clHighlight);
        QCOMPARE(PixelAt(button, QPoint(12, 11)), button->palette().color(QPalette::Active, QPalette::Highlight));
        QCOMPARE(ui::ToQColor(clSystem + 8, button->palette()),
                 button->palette().color(QPalette::Active, QPalette::Text));
    }

    void EscapeOrAClickBesideTheCellsClosesWithoutAChoice()
    {
        button->SetColor(kRed);
        QSignalSpy changes(button, &TSM_ColorButton::OnColorChange);
        TSM_ColorButtonPalette* palette = Open();
        QVERIFY(palette);
        QTest::keyClick(palette, Qt::Key_Escape);
        WaitClosed();
        QVERIFY(!button->isDown());
        palette = Open();
        QVERIFY(palette);
        // The separator between the grid and the button is no cell.
        QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(30, 94));
        WaitClosed();
        QCOMPARE(button->Color(), kRed);
        QCOMPARE(changes.count(), 0);
        // Clicking the button again opens a fresh palette.
        QVERIFY(Open());
    }

    void NearTheBottomOfTheScreenThePaletteOpensAbove()
    {
        const QRect work(0, 0, 800, 600);
        // Room below: under the button.
        QCOMPARE(TSM_ColorButton::PalettePosition(QRect(100, 100, 45, 22), work), QPoint(100, 122));
        // No room below: its top 121 pixels above the button's top.
        QCOMPARE(TSM_ColorButton::PalettePosition(QRect(100, 560, 45, 22), work), QPoint(100, 439));
        // Kept inside the work area at the left and the right.
        QCOMPARE(TSM_ColorButton::PalettePosition(QRect(-10, 100, 45, 22), work).x(), 0);
        QCOMPARE(TSM_ColorButton::PalettePosition(QRect(770, 100, 45, 22), work).x(), 800 - 78);

        // A real button at the bottom of its screen.
        const QRect area = button->screen()->availableGeometry();
        window->move(area.left() + 10, area.bottom() - window->frameGeometry().height() + 1);
        button->move(20, window->height() - button->height() - 2);
        QTest::qWait(20);
        TSM_ColorButtonPalette* palette = Open();
        QVERIFY(palette);
        const QPoint buttonTop = button->mapToGlobal(QPoint(0, 0));
        if (buttonTop.y() + button->height() + 121 > area.bottom() + 1)
            QCOMPARE(palette->geometry().top(), buttonTop.y() - 121);
        QVERIFY(palette->geometry().bottom() <= area.bottom());
    }

    void ADisabledButtonIsDitheredAndDoesNotOpen()
    {
        button->SetColor(kRed);
        button->setEnabled(false);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!button->Palette());
        button->OpenPalette();
        QVERIFY(!button->Palette());
        // No red in the swatch, and neighbouring pixels of it differ (the dither pattern).
        const QImage image = button->grab().toImage();
        bool sawRed = false, alternates = false;
        for (int x = 7; x < 25; ++x) {
            if (image.pixelColor(x, 11) == QColor(255, 0, 0)) sawRed = true;
            if (image.pixelColor(x, 11) != image.pixelColor(x + 1, 11)) alternates = true;
        }
        QVERIFY(!sawRed);
        QVERIFY(alternates);
    }

    void StyleOneFramesTheFaceInTheShadowColour()
    {
        const QRgb shadow = button->palette().color(QPalette::Active, QPalette::Dark).rgb();
        const auto edge = [&](const QPoint& p) { return PixelAt(button, p).rgb(); };
        QVERIFY(edge(QPoint(0, 11)) != shadow || edge(QPoint(22, 0)) != shadow);
        button->SetStyle(1);
        QCOMPARE(edge(QPoint(0, 11)), shadow);
        QCOMPARE(edge(QPoint(22, 0)), shadow);
        // Not while the button is drawn flat (no focus, the mouse elsewhere).
        button->setFocusPolicy(Qt::NoFocus);
        button->clearFocus();
        button->SetFlat(true);
        QVERIFY(edge(QPoint(22, 0)) != shadow);
    }

    void OtherOpensTheColourDialogAndKeepsTheCustomColoursPerButton()
    {
        auto* second = new TSM_ColorButton(window.get());
        second->move(120, 20);
        second->show();
        const QColor picked(10, 200, 30);
        const QColor custom(1, 2, 3);
        button->SetColor(kRed);
        TSM_ColorButtonPalette* palette = Open();
        QVERIFY(palette);
        QCOMPARE(palette->OtherButton()->text(), QStringLiteral("&Other"));
        QColor offered;
        AnswerModal([&](QDialog* d) {
            auto* dialog = qobject_cast<QColorDialog*>(d);
            QVERIFY(dialog);
            offered = dialog->currentColor();
            QColorDialog::setCustomColor(3, custom);
            QColorDialog::setCustomColor(12, custom);
            dialog->setCurrentColor(picked);
            dialog->accept();
        });
        QTest::mouseClick(palette->OtherButton(), Qt::LeftButton);
        WaitClosed();
        // The dialog opened on the other colour, the button face.
        QCOMPARE(offered, button->palette().color(QPalette::Active, QPalette::Button));
        QCOMPARE(button->Color(), ui::FromQColor(picked));
        QCOMPARE(button->OtherColor(), ui::FromQColor(picked));
        QCOMPARE(button->CustomColors().Color(4, 1), ui::FromQColor(custom));
        QCOMPARE(button->CustomColors().Color(5, 2), ui::FromQColor(custom));
        QCOMPARE(button->CustomColors().Color(1, 1), TColor(clWhite));

        // The other button offers its own (white) custom colours, and cancelling changes nothing.
        QTest::mouseClick(second, Qt::LeftButton);
        QVERIFY(second->Palette());
        QColor secondOffered;
        AnswerModal([&](QDialog*) { secondOffered = QColorDialog::customColor(3); });
        QTest::mouseClick(second->Palette()->OtherButton(), Qt::LeftButton);
        QCOMPARE(secondOffered, QColor(Qt::white));
        QCOMPARE(second->Color(), TColor(clBlack));
        if (second->Palette()) second->Palette()->close();
        QTRY_VERIFY(!second->Palette());

        // The first button offers its custom colours again.
        palette = Open();
        QVERIFY(palette);
        QCOMPARE(palette->HotCell(), QPoint(0, 0));  // the picked colour is in no cell
        QColor again;
        AnswerModal([&](QDialog*) { again = QColorDialog::customColor(12); });
        QTest::mouseClick(palette->OtherButton(), Qt::LeftButton);
        QCOMPARE(again, custom);
        QCOMPARE(button->Color(), ui::FromQColor(picked));
    }

    void AButtonGoingAwayWithItsPaletteOpenTakesItAlong()
    {
        QVERIFY(Open());
        QPointer<TSM_ColorButtonPalette> palette = button->Palette();
        delete button;
        button = nullptr;
        QVERIFY(!palette);
    }
};

QTEST_MAIN(ColorButtonTest)
#include "color_button_test.moc"
