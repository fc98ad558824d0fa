// SPDX-License-Identifier: MIT
#include "support/WindowHarness.h"

#include "Translations.h"

#include <QApplication>
#include <QLabel>

// The operator's language: messages and stock captions follow the locale, the panel's own captions
// never change.
class LanguageTest : public QObject
{
    Q_OBJECT

private slots:
    void portugueseMessagesBesideTheSameCaptions();
};

void LanguageTest::portugueseMessagesBesideTheSameCaptions()
{
    calimbra::installTranslations();
    WindowHarness h;
    QCOMPARE(h.find<QAbstractButton>("BitBtn1")->text(), QStringLiteral("&Fechar"));
    QCOMPARE(h.find<QAbstractButton>("RX_Info")->text(), QStringLiteral("&Recebe Informa\u00E7\u00E3o"));

    h.window().usePort(QStringLiteral("/dev/ttyCalimbraMissing"));
    h.click("RX_Info");
    QCOMPARE(h.errors().count(), 1);
    const QString message = h.errors().first().first().toString();
    QVERIFY2(message.contains(QStringLiteral("n\u00E3o foi encontrada")), qPrintable(message));
}

int main(int argc, char* argv[])
{
    // Set before the application reads the locale, as a Portuguese session would.
    qputenv("LANG", "pt_BR.UTF-8");
    qunsetenv("LANGUAGE");
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    QApplication app(argc, argv);
    LanguageTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_language.moc"
