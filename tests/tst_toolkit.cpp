// SPDX-License-Identifier: MIT
#include "Colors.h"
#include "DateTimeText.h"
#include "TLabel.h"
#include "TRadioGroup.h"

#include <QRadioButton>
#include <QTest>

using namespace calimbra;

class ToolkitTest : public QObject
{
    Q_OBJECT

private slots:
    void colorValuesHaveRedInTheLowByte_data();
    void colorValuesHaveRedInTheLowByte();
    void clockText_data();
    void clockText();
    void radioGroupIndex();
    void labelFitsTextSetThroughQLabel_data();
    void labelFitsTextSetThroughQLabel();
};

void ToolkitTest::colorValuesHaveRedInTheLowByte_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("clRed") << uint(clRed) << QColor(255, 0, 0);
    QTest::newRow("clLime") << uint(clLime) << QColor(0, 255, 0);
    QTest::newRow("clGreen") << uint(clGreen) << QColor(0, 128, 0);
    QTest::newRow("clGray") << uint(clGray) << QColor(128, 128, 128);
    QTest::newRow("LED2 off") << 0x8080FFu << QColor(255, 128, 128);
}

void ToolkitTest::colorValuesHaveRedInTheLowByte()
{
    QFETCH(uint, value);
    QFETCH(QColor, expected);
    QCOMPARE(toQColor(value), expected);
}

void ToolkitTest::clockText_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");

    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    QTest::newRow("morning") << QTime(9, 5, 3) << brazil << "09:05:03";
    QTest::newRow("evening is 24-hour") << QTime(21, 5, 3) << brazil << "21:05:03";
    QTest::newRow("midnight") << QTime(0, 0, 0) << brazil << "00:00:00";
    QTest::newRow("12-hour locale still 24-hour")
        << QTime(21, 5, 3) << QLocale(QLocale::English, QLocale::UnitedStates) << "21:05:03";
    QTest::newRow("locale with a dot")
        << QTime(21, 5, 3) << QLocale(QLocale::Finnish, QLocale::Finland) << "21.05.03";
}

void ToolkitTest::clockText()
{
    QFETCH(QTime, time);
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QCOMPARE(calimbra::clockText(time, locale), text);
}

void ToolkitTest::radioGroupIndex()
{
    // The layout sets the index before the items exist; it must still take effect.
    TRadioGroup group;
    group.setItemIndex(1);
    group.setItems({QStringLiteral("LED1"), QStringLiteral("LED2")});
    QCOMPARE(group.itemIndex(), 1);
    group.findChildren<QRadioButton*>().first()->click();
    QCOMPARE(group.itemIndex(), 0);
    group.setItemIndex(-1);
    QCOMPARE(group.itemIndex(), -1);
    group.setItemIndex(7);
    QCOMPARE(group.itemIndex(), -1);
}

void ToolkitTest::labelFitsTextSetThroughQLabel_data()
{
    QTest::addColumn<bool>("shownFirst");
    QTest::newRow("window shown") << true;
    QTest::newRow("window shown later") << false;
}

void ToolkitTest::labelFitsTextSetThroughQLabel()
{
    QFETCH(bool, shownFirst);
    QWidget window;
    window.resize(400, 50);
    auto* label = new TLabel(&window);
    label->setGeometry(8, 8, 20, 13);
    if (shownFirst)
        window.show();
    QLabel* plain = label;
    plain->setText(QStringLiteral("Quantidade de sensores ativos"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(label->width() >= label->sizeHint().width());
    QCOMPARE(label->pos(), QPoint(8, 8));
}

QTEST_MAIN(ToolkitTest)
#include "tst_toolkit.moc"
