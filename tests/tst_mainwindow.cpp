// SPDX-License-Identifier: MIT
#include "support/WindowHarness.h"

#include "CalimbraUnit1.h"
#include "Colors.h"
#include "DateTimeText.h"
#include "ErrorHandler.h"
#include "Fonts.h"
#include "TComLed.h"
#include "TComPort.h"
#include "TLabel.h"
#include "TRadioGroup.h"
#include "TShape.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace calimbra;

namespace {

const char* const kLampNames[] = {"Shape9",  "Shape10", "Shape11", "Shape12", "Shape16",
                                  "Shape17", "Shape18", "Shape19", "Shape20"};

QColor color(TColor value)
{
    return toQColor(value);
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsStandWhereDesigned_data();
    void controlsStandWhereDesigned();
    void tabOrderAndAccelerators();
    void startsWithPortClosedAndDateShown();
    void buttonsWriteTheirRequests_data();
    void buttonsWriteTheirRequests();
    void ledActionClosesPortLeftOpenByRequest();
    void repliesPaintTheWindow_data();
    void repliesPaintTheWindow();
    void openFailureShowsOneErrorAndChangesNothing_data();
    void openFailureShowsOneErrorAndChangesNothing();
    void clockTicksAndFollowsTheDay();
    void closeButtonClosesPortAndWindow();
    void screenReadersHearNamesAndStates_data();
    void screenReadersHearNamesAndStates();

private:
    std::unique_ptr<WindowHarness> h;
};

void MainWindowTest::init()
{
    // A binding in the layout that names a missing handler would otherwise only print this.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("No such (slot|signal)")));
    h = std::make_unique<WindowHarness>();
}

void MainWindowTest::cleanup()
{
    h.reset();
}

void MainWindowTest::controlsStandWhereDesigned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");

    QTest::newRow("Label6") << "Label6"
                            << "Form1" << QRect(8, 384, 94, 24) << "HH:MM:SS";
    QTest::newRow("ComLed1") << "ComLed1"
                             << "Form1" << QRect(96, 8, 25, 25) << "";
    QTest::newRow("BitBtn1") << "BitBtn1"
                             << "Form1" << QRect(560, 416, 75, 25) << "&Close";
    QTest::newRow("Button1") << "Button1"
                             << "Form1" << QRect(152, 8, 113, 25) << "Configurar Serial";
    QTest::newRow("RadioGroup1 lies over Panel1")
        << "RadioGroup1"
        << "Form1" << QRect(32, 56, 177, 105) << "Selecione o LED a ser acionado:";
    QTest::newRow("Desliga_LED lies over Panel1") << "Desliga_LED"
                                                  << "Form1" << QRect(136, 168, 75, 25) << "&Desliga";
    QTest::newRow("Liga_LED") << "Liga_LED"
                              << "Panel1" << QRect(24, 120, 75, 25) << "&Liga";
    QTest::newRow("Shape3") << "Shape3"
                            << "Panel1" << QRect(248, 88, 25, 17) << "";
    QTest::newRow("RX_Info") << "RX_Info"
                             << "GroupBox2" << QRect(392, 72, 113, 33) << "&Recebe Informa\u00E7\u00E3o";
    QTest::newRow("Edit2") << "Edit2"
                           << "GroupBox2" << QRect(416, 40, 65, 21) << "";
    QTest::newRow("ComboBox1") << "ComboBox1"
                               << "GroupBox1" << QRect(8, 32, 49, 21) << "1";
    QTest::newRow("Button2") << "Button2"
                             << "Panel2" << QRect(152, 88, 75, 25) << "&Medi\u00E7\u00E3o";
    QTest::newRow("Edit3") << "Edit3"
                           << "Panel2" << QRect(8, 120, 105, 21) << "";
    for (int slot = 1; slot <= 9; ++slot) {
        QTest::addRow("lamp of S%d", slot)
            << kLampNames[slot - 1] << "GroupBox2" << QRect(16 + 40 * (slot - 1), 48, 17, 9) << "";
    }
}

void MainWindowTest::controlsStandWhereDesigned()
{
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);

    auto* control = h->window().findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    // Captions grow from their corner to fit their text in whatever font stands in on this system.
    if (qobject_cast<TLabel*>(control)) {
        QCOMPARE(control->pos(), geometry.topLeft());
        QVERIFY(control->width() >= geometry.width());
    } else {
        QCOMPARE(control->geometry(), geometry);
    }
    QString text;
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        text = button->text();
    else if (auto* box = qobject_cast<QGroupBox*>(control))
        text = box->title();
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        text = combo->currentText();
    else if (auto* label = qobject_cast<QLabel*>(control))
        text = label->text();
    QCOMPARE(text, caption);
}

void MainWindowTest::tabOrderAndAccelerators()
{
    const QStringList expected = {"BitBtn1",  "Button1",           "Edit2",       "RX_Info",
                                  "Liga_LED", "RadioGroup1_item0", "Desliga_LED", "ComboBox1",
                                  "Edit1",    "Button2",           "Edit3"};
    // As the operator moves with Tab: one stop per control, the LED choice by its checked item.
    QVERIFY(QTest::qWaitForWindowActive(&h->window()));
    h->find<QWidget>("BitBtn1")->setFocus();
    QStringList order;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, expected);

    // Every lamp is drawn over its square: created after it, so later among its siblings.
    const auto siblings = h->find<QGroupBox>("GroupBox2")->children();
    QVERIFY(siblings.indexOf(h->find<TShape>("Shape9")) > siblings.indexOf(h->find<TShape>("Shape5")));
    QVERIFY(siblings.indexOf(h->find<TShape>("Shape20")) > siblings.indexOf(h->find<TShape>("Shape1")));

    QCOMPARE(h->find<QPushButton>("Liga_LED")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_L));
    QCOMPARE(h->find<QPushButton>("Desliga_LED")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_D));
    QCOMPARE(h->find<QPushButton>("RX_Info")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_R));
    QCOMPARE(h->find<QPushButton>("Button2")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_M));
}

void MainWindowTest::startsWithPortClosedAndDateShown()
{
    QVERIFY(!h->find<TComPort>("ComPort1")->isOpen());
    QVERIFY(!h->find<TComLed>("ComLed1")->isLit());
    QCOMPARE(h->find<TComPort>("ComPort1")->baudRate(), 9600);
    QCOMPARE(h->find<TLabel>("Label6")->text(), QStringLiteral("HH:MM:SS"));
    QCOMPARE(h->find<TLabel>("Label8")->text(), dateText(QDate::currentDate()));
    QCOMPARE(h->find<TRadioGroup>("RadioGroup1")->itemIndex(), 0);
    QCOMPARE(h->find<TShape>("Shape2")->brushColor(), color(clGreen));
    QCOMPARE(h->find<TShape>("Shape3")->brushColor(), color(0x8080FF));
    for (const char* lamp : kLampNames)
        QCOMPARE(h->find<TShape>(lamp)->brushColor(), color(clBlack));
    QCOMPARE(h->find<TShape>("Shape5")->brushColor(), color(clGray));
}

void MainWindowTest::buttonsWriteTheirRequests_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("led");
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<bool>("openAfter");
    QTest::addColumn<QString>("lamp");
    QTest::addColumn<QColor>("lampColor");
    QTest::addColumn<QString>("request");

    QTest::newRow("Liga LED1") << "Liga_LED" << 0 << "1" << QByteArray("&a") << false << "Shape2"
                               << color(clLime) << "";
    QTest::newRow("Liga LED2") << "Liga_LED" << 1 << "1" << QByteArray("&a") << false << "Shape3"
                               << color(clRed) << "";
    QTest::newRow("Desliga LED1") << "Desliga_LED" << 0 << "1" << QByteArray("&a") << false << "Shape2"
                                  << color(clGreen) << "";
    QTest::newRow("Desliga LED2") << "Desliga_LED" << 1 << "1" << QByteArray("&a") << false << "Shape3"
                                  << color(0x8080FF) << "";
    QTest::newRow("no LED chosen writes nothing")
        << "Liga_LED" << -1 << "1" << QByteArray() << false << "Shape2" << color(clGreen) << "";
    QTest::newRow("Recebe Informacao")
        << "RX_Info" << 0 << "1" << QByteArray("&i") << true << "" << QColor() << "";
    QTest::newRow("Medicao sensor 3")
        << "Button2" << 0 << "3" << QByteArray("&l=3") << true << "" << QColor() << "&l=3";
    QTest::newRow("Medicao, selector cleared")
        << "Button2" << 0 << "" << QByteArray("&l=") << true << "" << QColor() << "&l=";
    QTest::newRow("Medicao, typed non-Latin text")
        << "Button2" << 0 << QStringLiteral("\u00E7\u65E5") << QByteArray("&l=\xE7?") << true << ""
        << QColor() << QStringLiteral("&l=\u00E7?");
    QTest::newRow("Medicao, emoji and combining accent")
        << "Button2" << 0 << QStringLiteral("\U0001F600e\u0301") << QByteArray("&l=?e?") << true << ""
        << QColor() << QStringLiteral("&l=?e?");
    QTest::newRow("Medicao, 2000 typed characters")
        << "Button2" << 0 << QString(2000, u'7') << QByteArray("&l=") + QByteArray(2000, '7') << true << ""
        << QColor() << QStringLiteral("&l=") + QString(2000, u'7');
    QTest::newRow("Medicao, more typed than the request box holds")
        << "Button2" << 0 << QString(5000, u'7') << QByteArray("&l=") + QByteArray(2045, '7') << true << ""
        << QColor() << QStringLiteral("&l=") + QString(2045, u'7');
}

void MainWindowTest::buttonsWriteTheirRequests()
{
    QFETCH(QString, button);
    QFETCH(int, led);
    QFETCH(QString, selector);
    QFETCH(QByteArray, written);
    QFETCH(bool, openAfter);
    QFETCH(QString, lamp);
    QFETCH(QColor, lampColor);
    QFETCH(QString, request);

    h->find<TRadioGroup>("RadioGroup1")->setItemIndex(led);
    h->find<QComboBox>("ComboBox1")->setEditText(selector);
    QTest::mouseClick(h->find<QAbstractButton>(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(h->board().read(), written);
    QCOMPARE(h->find<TComPort>("ComPort1")->isOpen(), openAfter);
    QCOMPARE(h->find<TComLed>("ComLed1")->isLit(), openAfter);
    if (!lamp.isEmpty())
        QCOMPARE(h->find<TShape>(qPrintable(lamp))->brushColor(), lampColor);
    QCOMPARE(h->find<QLineEdit>("Edit3")->text(), request);
    QCOMPARE(h->errors().count(), 0);
}

void MainWindowTest::ledActionClosesPortLeftOpenByRequest()
{
    h->click("RX_Info");
    h->click("RX_Info");
    QCOMPARE(h->board().read(), QByteArray("&i&i"));
    QVERIFY(h->find<TComLed>("ComLed1")->isLit());

    h->click("Liga_LED");
    h->click("Liga_LED");
    QCOMPARE(h->board().read(), QByteArray("&a&a"));
    QVERIFY(!h->find<TComPort>("ComPort1")->isOpen());
    QVERIFY(!h->find<TComLed>("ComLed1")->isLit());
    QCOMPARE(h->find<TShape>("Shape2")->brushColor(), color(clLime));
    QCOMPARE(h->find<TShape>("Shape3")->brushColor(), color(0x8080FF));
}

void MainWindowTest::repliesPaintTheWindow_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QString>("edit2");
    QTest::addColumn<QString>("edit1");
    QTest::addColumn<int>("redLamps");

    QTest::newRow("count 4") << QList<QByteArray>{"SN\xB0 =4 sens"} << "SN\u00B0 =4 sens"
                             << "" << 4;
    QTest::newRow("count 5 after 7 darkens lamps 6 and 7")
        << QList<QByteArray>{"SN\xB0 =7 sens", "SN\xB0 =5 sens"} << "SN\u00B0 =5 sens"
        << "" << 5;
    QTest::newRow("count 9") << QList<QByteArray>{"SN\xB0 =9 sens"} << "SN\u00B0 =9 sens"
                             << "" << 9;
    QTest::newRow("digit 0 leaves the lamps")
        << QList<QByteArray>{"SN\xB0 =3 sens", "SN\xB0 =0 sens"} << "SN\u00B0 =0 sens"
        << "" << 3;
    QTest::newRow("15-byte temperature") << QList<QByteArray>{"T7 = sem sensor"} << ""
                                         << "T7 = sem sensor" << 0;
    QTest::newRow("14-byte temperature") << QList<QByteArray>{"T2 = +21.75 \xB0"
                                                              "C"}
                                         << ""
                                         << "T2 = +21.75 \u00B0C" << 0;
    QTest::newRow("unrecognised bytes change nothing")
        << QList<QByteArray>{"xx\xB0 =4 sens", "t2 = +21.75 xx"} << ""
        << "" << 0;
}

void MainWindowTest::repliesPaintTheWindow()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QString, edit2);
    QFETCH(QString, edit1);
    QFETCH(int, redLamps);

    h->click("RX_Info");
    QCOMPARE(h->board().read(), QByteArray("&i"));
    for (const QByteArray& bytes : replies)
        QVERIFY(h->reply(bytes));

    QCOMPARE(h->find<QLineEdit>("Edit2")->text(), edit2);
    QCOMPARE(h->find<QLineEdit>("Edit1")->text(), edit1);
    for (int slot = 0; slot < 9; ++slot) {
        QCOMPARE(h->find<TShape>(kLampNames[slot])->brushColor(), color(slot < redLamps ? clRed : clBlack));
        QCOMPARE(
            h->find<TShape>(kLampNames[slot])->parentWidget()->findChild<TShape*>("Shape5")->brushColor(),
            color(clGray));
    }
}

void MainWindowTest::openFailureShowsOneErrorAndChangesNothing_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message");

    for (const char* button : {"Liga_LED", "Desliga_LED", "RX_Info", "Button2"}) {
        QTest::addRow("missing port, %s", button) << "/dev/ttyCalimbraMissing" << button << "was not found";
        QTest::addRow("empty name, %s", button) << "" << button << "No serial port is selected";
        QTest::addRow("absurd name, %s", button) << QString(10000, u'\x7f') << button << "not a valid";
    }
}

void MainWindowTest::openFailureShowsOneErrorAndChangesNothing()
{
    QFETCH(QString, port);
    QFETCH(QString, button);
    QFETCH(QString, message);

    h->find<QLineEdit>("Edit3")->setText(QStringLiteral("&l=4"));
    h->window().usePort(port);
    QTest::mouseClick(h->find<QAbstractButton>(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(h->errors().count(), 1);
    QVERIFY2(h->errors().first().first().toString().contains(message),
             qPrintable(h->errors().first().first().toString()));
    QCOMPARE(h->find<QLineEdit>("Edit3")->text(), QStringLiteral("&l=4"));
    QCOMPARE(h->find<TShape>("Shape2")->brushColor(), color(clGreen));
    QVERIFY(!h->find<TComLed>("ComLed1")->isLit());

    // The window carries on: the next request, on a port that exists, goes out.
    h->window().usePort(h->board().slavePath());
    h->click("RX_Info");
    QCOMPARE(h->board().read(), QByteArray("&i"));
}

void MainWindowTest::clockTicksAndFollowsTheDay()
{
    auto* clock = h->find<TLabel>("Label6");
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != QStringLiteral("HH:MM:SS"), 2500);
    const QString separator = QRegularExpression::escape(timeSeparator());
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d%1\\d\\d%1\\d\\d$").arg(separator))
                 .match(clock->text())
                 .hasMatch(),
             qPrintable(clock->text()));

    // A date from an earlier day is replaced at the next tick.
    auto* date = h->find<TLabel>("Label8");
    date->setText(QStringLiteral("DD/MM/AAAA"));
    QTRY_COMPARE_WITH_TIMEOUT(date->text(), dateText(QDate::currentDate()), 2500);
}

void MainWindowTest::closeButtonClosesPortAndWindow()
{
    h->click("RX_Info");
    QVERIFY(h->find<TComPort>("ComPort1")->isOpen());
    h->click("BitBtn1");
    QVERIFY(!h->find<TComPort>("ComPort1")->isOpen());
    QTRY_VERIFY(!h->window().isVisible());
}

void MainWindowTest::screenReadersHearNamesAndStates_data()
{
    QTest::addColumn<QString>("click");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");

    QTest::newRow("sensor lamp dark") << "" << QByteArray() << "Shape11"
                                      << "Sensor 3"
                                      << "Sensor 3: not active";
    QTest::newRow("sensor lamp lit") << "RX_Info" << QByteArray("SN\xB0 =4 sens") << "Shape11"
                                     << "Sensor 3"
                                     << "Sensor 3: active";
    QTest::newRow("sensor lamp above the count") << "RX_Info" << QByteArray("SN\xB0 =4 sens") << "Shape20"
                                                 << "Sensor 9"
                                                 << "Sensor 9: not active";
    QTest::newRow("LED1 off") << "" << QByteArray() << "Shape2"
                              << "LED1"
                              << "LED1: off";
    QTest::newRow("LED1 on") << "Liga_LED" << QByteArray() << "Shape2"
                             << "LED1"
                             << "LED1: on";
    QTest::newRow("LED2 off") << "" << QByteArray() << "Shape3"
                              << "LED2"
                              << "LED2: off";
    QTest::newRow("port closed") << "" << QByteArray() << "ComLed1"
                                 << "Port"
                                 << "Port: closed";
    QTest::newRow("port open") << "RX_Info" << QByteArray() << "ComLed1"
                               << "Port"
                               << "Port: open";
    QTest::newRow("Edit1") << "" << QByteArray() << "Edit1"
                           << "Temperatura"
                           << "";
    QTest::newRow("Edit2") << "" << QByteArray() << "Edit2"
                           << "Quantidade de sensores ativos"
                           << "";
    QTest::newRow("Edit3") << "" << QByteArray() << "Edit3"
                           << "Protocolo enviado"
                           << "";
}

void MainWindowTest::screenReadersHearNamesAndStates()
{
    QFETCH(QString, click);
    QFETCH(QByteArray, reply);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, description);

    if (!click.isEmpty())
        h->click(qPrintable(click));
    if (!reply.isEmpty())
        QVERIFY(h->reply(reply));
    QAccessibleInterface* heard =
        QAccessible::queryAccessibleInterface(h->find<QWidget>(qPrintable(control)));
    QVERIFY(heard);
    QCOMPARE(heard->text(QAccessible::Name), name);
    QCOMPARE(heard->text(QAccessible::Description), description);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
