// How one received piece is normalised before it reaches the terminal, the parse
// buffer and the capture log.
#include "core/receivedtext.h"

#include <QTest>

using namespace vantrel;

class TestReceivedText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalise_data()
    {
        QTest::addColumn<QString>("received");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("leadingBackspace");
        QTest::newRow("received LF is dropped, CR gains one") << "AB\r\nC"
                                                              << "AB\r\nC" << false;
        QTest::newRow("LF alone is nothing") << "\n"
                                             << "" << false;
        QTest::newRow("CR at the end gains its LF") << "A\r"
                                                    << "A\r\n"
                                                    << false;
        QTest::newRow("LF opening a piece is dropped") << "\nB"
                                                       << "B" << false;
        QTest::newRow("bare CRs each gain one LF") << "\r\r"
                                                   << "\r\n\r\n"
                                                   << false;
        QTest::newRow("backspace takes the character before it") << "AB\bC"
                                                                 << "AC" << false;
        QTest::newRow("backspace opening a piece reaches the terminal") << "\bX"
                                                                        << "X" << true;
        QTest::newRow("two opening backspaces, one for the terminal") << "\b\bX"
                                                                      << "X" << true;
        QTest::newRow("backspace alone") << "\b"
                                         << "" << true;
        QTest::newRow("more backspaces than characters meet the start") << "AB\b\b\bC"
                                                                        << "C" << true;
        QTest::newRow("backspace takes a received LF first") << "A\n\bB"
                                                             << "AB" << false;
        QTest::newRow("backspace takes a CR, so no LF is added") << "A\r\bB"
                                                                 << "AB" << false;
        QTest::newRow("other control characters pass unchanged")
            << QString::fromLatin1("\x01\x1b[0m\x7f\xff\x00", 9)
            << QString::fromLatin1("\x01\x1b[0m\x7f\xff\x00", 9) << false;
    }
    void normalise()
    {
        QFETCH(QString, received);
        QFETCH(QString, text);
        QFETCH(bool, leadingBackspace);
        const NormalisedPiece piece = normalisePiece(received);
        QCOMPARE(piece.text, text);
        QCOMPARE(piece.leadingBackspace, leadingBackspace);
    }
};

QTEST_MAIN(TestReceivedText)
#include "tst_receivedtext.moc"
