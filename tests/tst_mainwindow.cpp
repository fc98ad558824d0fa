#include "support/PtyPair.h"

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
    void initTestCase();
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
    void hangUpShowsOneErrorAndDarkensLamp();
    void clockTicksAndFollowsTheDay();
    void closeButtonClosesPortAndWindow();

private:
    template <typename T>
    T* find(const char* name) const
    {
        auto* child = window_->findChild<T*>(QString::fromLatin1(name));
        if (!child)
            qFatal("no control %s", name);
        return child;
    }
    void click(const char* button) const { QTest::mouseClick(find<QAbstractButton>(button), Qt::LeftButton); }
    void reply(const QByteArray& bytes);

    std::unique_ptr<PtyPair> board_;
    std::unique_ptr<TForm1> window_;
    std::unique_ptr<QSignalSpy> errors_;
};

void MainWindowTest::initTestCase()
{
    installFontSubstitutes();
    ErrorHandler::instance().setShowsMessageBox(false);
}

void MainWindowTest::init()
{
    // A binding in the layout that names a missing handler would otherwise only print this.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("No such (slot|signal)")));
    board_ = std::make_unique<PtyPair>();
    window_ = std::make_unique<TForm1>();
    window_->usePort(board_->slavePath());
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    errors_ = std::make_unique<QSignalSpy>(&ErrorHandler::instance(), &ErrorHandler::errorShown);
}

void MainWindowTest::cleanup()
{
    errors_.reset();
    window_.reset();
    board_.reset();
}

void MainWindowTest::reply(const QByteArray& bytes)
{
    QSignalSpy notifications(find<TComPort>("ComPort1"), &TComPort::RxChar);
    board_->write(bytes);
    QVERIFY(notifications.wait(2000));
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

    auto* control = window_->findChild<QWidget*>(name);
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
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    find<QWidget>("BitBtn1")->setFocus();
    QStringList order;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order, expected);

    // Every lamp is drawn over its square: created after it, so later among its siblings.
    const auto siblings = find<QGroupBox>("GroupBox2")->children();
    QVERIFY(siblings.indexOf(find<TShape>("Shape9")) > siblings.indexOf(find<TShape>("Shape5")));
    QVERIFY(siblings.indexOf(find<TShape>("Shape20")) > siblings.indexOf(find<TShape>("Shape1")));

    QCOMPARE(find<QPushButton>("Liga_LED")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_L));
    QCOMPARE(find<QPushButton>("Desliga_LED")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_D));
    QCOMPARE(find<QPushButton>("RX_Info")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_R));
    QCOMPARE(find<QPushButton>("Button2")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_M));
}

void MainWindowTest::startsWithPortClosedAndDateShown()
{
    QVERIFY(!find<TComPort>("ComPort1")->isOpen());
    QVERIFY(!find<TComLed>("ComLed1")->isLit());
    QCOMPARE(find<TComPort>("ComPort1")->baudRate(), 9600);
    QCOMPARE(find<TLabel>("Label6")->text(), QStringLiteral("HH:MM:SS"));
    QCOMPARE(find<TLabel>("Label8")->text(), dateText(QDate::currentDate()));
    QCOMPARE(find<TRadioGroup>("RadioGroup1")->itemIndex(), 0);
    QCOMPARE(find<TShape>("Shape2")->brushColor(), color(clGreen));
    QCOMPARE(find<TShape>("Shape3")->brushColor(), color(0x8080FF));
    for (const char* lamp : kLampNames)
        QCOMPARE(find<TShape>(lamp)->brushColor(), color(clBlack));
    QCOMPARE(find<TShape>("Shape5")->brushColor(), color(clGray));
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
        << QColor() << QStringLiteral("&l=\u00E7\u65E5");
    QTest::newRow("Medicao, 2000 typed characters")
        << "Button2" << 0 << QString(2000, u'7') << QByteArray("&l=") + QByteArray(2000, '7') << true << ""
        << QColor() << QStringLiteral("&l=") + QString(2000, u'7');
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

    find<TRadioGroup>("RadioGroup1")->setItemIndex(led);
    find<QComboBox>("ComboBox1")->setEditText(selector);
    QTest::mouseClick(find<QAbstractButton>(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(board_->read(), written);
    QCOMPARE(find<TComPort>("ComPort1")->isOpen(), openAfter);
    QCOMPARE(find<TComLed>("ComLed1")->isLit(), openAfter);
    if (!lamp.isEmpty())
        QCOMPARE(find<TShape>(qPrintable(lamp))->brushColor(), lampColor);
    QCOMPARE(find<QLineEdit>("Edit3")->text(), request);
    QCOMPARE(errors_->count(), 0);
}

void MainWindowTest::ledActionClosesPortLeftOpenByRequest()
{
    click("RX_Info");
    click("RX_Info");
    QCOMPARE(board_->read(), QByteArray("&i&i"));
    QVERIFY(find<TComLed>("ComLed1")->isLit());

    click("Liga_LED");
    click("Liga_LED");
    QCOMPARE(board_->read(), QByteArray("&a&a"));
    QVERIFY(!find<TComPort>("ComPort1")->isOpen());
    QVERIFY(!find<TComLed>("ComLed1")->isLit());
    QCOMPARE(find<TShape>("Shape2")->brushColor(), color(clLime));
    QCOMPARE(find<TShape>("Shape3")->brushColor(), color(0x8080FF));
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

    click("RX_Info");
    QCOMPARE(board_->read(), QByteArray("&i"));
    for (const QByteArray& bytes : replies)
        reply(bytes);

    QCOMPARE(find<QLineEdit>("Edit2")->text(), edit2);
    QCOMPARE(find<QLineEdit>("Edit1")->text(), edit1);
    for (int slot = 0; slot < 9; ++slot) {
        QCOMPARE(find<TShape>(kLampNames[slot])->brushColor(), color(slot < redLamps ? clRed : clBlack));
        QCOMPARE(find<TShape>(kLampNames[slot])->parentWidget()->findChild<TShape*>("Shape5")->brushColor(),
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

    find<QLineEdit>("Edit3")->setText(QStringLiteral("&l=4"));
    window_->usePort(port);
    QTest::mouseClick(find<QAbstractButton>(qPrintable(button)), Qt::LeftButton);

    QCOMPARE(errors_->count(), 1);
    QVERIFY2(errors_->first().first().toString().contains(message),
             qPrintable(errors_->first().first().toString()));
    QCOMPARE(find<QLineEdit>("Edit3")->text(), QStringLiteral("&l=4"));
    QCOMPARE(find<TShape>("Shape2")->brushColor(), color(clGreen));
    QVERIFY(!find<TComLed>("ComLed1")->isLit());

    // The window carries on: the next request, on a port that exists, goes out.
    window_->usePort(board_->slavePath());
    click("RX_Info");
    QCOMPARE(board_->read(), QByteArray("&i"));
}

void MainWindowTest::hangUpShowsOneErrorAndDarkensLamp()
{
    click("RX_Info");
    QVERIFY(find<TComLed>("ComLed1")->isLit());
    board_->hangUp();
    QTRY_COMPARE(errors_->count(), 1);
    QVERIFY(!find<TComLed>("ComLed1")->isLit());
    QTest::qWait(300);
    QCOMPARE(errors_->count(), 1);

    board_ = std::make_unique<PtyPair>();
    window_->usePort(board_->slavePath());
    click("Button2");
    QCOMPARE(board_->read(), QByteArray("&l=1"));
}

void MainWindowTest::clockTicksAndFollowsTheDay()
{
    auto* clock = find<TLabel>("Label6");
    QTRY_VERIFY_WITH_TIMEOUT(clock->text() != QStringLiteral("HH:MM:SS"), 2500);
    const QString separator = QRegularExpression::escape(timeSeparator());
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d%1\\d\\d%1\\d\\d$").arg(separator))
                 .match(clock->text())
                 .hasMatch(),
             qPrintable(clock->text()));

    // A date from an earlier day is replaced at the next tick.
    auto* date = find<TLabel>("Label8");
    date->setText(QStringLiteral("DD/MM/AAAA"));
    QTRY_COMPARE_WITH_TIMEOUT(date->text(), dateText(QDate::currentDate()), 2500);
}

void MainWindowTest::closeButtonClosesPortAndWindow()
{
    click("RX_Info");
    QVERIFY(find<TComPort>("ComPort1")->isOpen());
    click("BitBtn1");
    QVERIFY(!find<TComPort>("ComPort1")->isOpen());
    QTRY_VERIFY(!window_->isVisible());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
