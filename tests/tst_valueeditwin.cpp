#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "ui/styles.h"
#include "ui/editor/valueeditwin.h"
#include "protocol/modbusmaster.h"
#include "registermap/registermap.h"

namespace {

const QString redBorder = QStringLiteral("QLineEdit{border:1px solid red }");

RegisterInfo runCurrent()
{
    RegisterInfo info;
    info.address = 0x0010;
    info.addressText = QStringLiteral("0x0010");
    info.permission = QStringLiteral("RW");
    info.value = 100;
    info.valueText = QStringLiteral("100");
    info.rangeText = QStringLiteral("0~1000");
    info.rangeMin = 0;
    info.rangeMax = 1000;
    info.name = QStringLiteral("Run current");
    return info;
}

RegisterInfo withRange(qint32 min, qint32 max, const QString &valueText = QStringLiteral("100"))
{
    RegisterInfo info = runCurrent();
    info.rangeMin = min;
    info.rangeMax = max;
    info.valueText = valueText;
    return info;
}

// The editor's widgets, found the way a form user sees them.
struct Form
{
    explicit Form(ValueEditWin &window)
        : dec(window.findChild<QLineEdit *>("lineEdit_dec"))
        , hex(window.findChild<QLineEdit *>("lineEdit_hex"))
        , index(window.findChild<QLabel *>("label_indexs"))
        , range(window.findChild<QLabel *>("label_range"))
        , write(window.findChild<QPushButton *>("pushButton_Write"))
        , close(window.findChild<QPushButton *>("pushButton_Cance"))
    {
    }

    QLineEdit *dec;
    QLineEdit *hex;
    QLabel *index;
    QLabel *range;
    QPushButton *write;
    QPushButton *close;
};

// Selects everything in the field and types over it, as a technician does.
void retype(QLineEdit *field, const QString &text)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

// Types and finishes the field as leaving it does (Enter would also write).
void enter(QLineEdit *field, const QString &text)
{
    retype(field, text);
    emit field->editingFinished();
}

// Answers the next question box with `answer`, and tells which button it
// offered as the default; NoButton when no box came within the test.
struct QuestionAnswer
{
    explicit QuestionAnswer(QMessageBox::StandardButton answer)
    {
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [this, answer] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            defaultButton = box->standardButton(box->defaultButton());
            box->button(answer)->click();
        });
        poll.start();
    }

    QTimer poll;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// A register at 0x0018 with the given format keys.
RegisterInfo typedRegister(const QString &keys, const QString &defaultValue = QStringLiteral("0x0000"),
                           const QString &range = QStringLiteral("0~100"))
{
    return parseRegisterLine(QStringLiteral("indexes:0x0018,permission:RW,defaultValue:%1,rangeValue:%2,name:X,"
                                            "remarks:,%3").arg(defaultValue, range, keys));
}

// The frame without its CRC, in hex.
QByteArray writtenFrame(const QSignalSpy &written)
{
    const QByteArray frame = written.last().at(1).toByteArray();
    return frame.left(frame.size() - 2).toHex();
}

} // namespace

class TestValueEditWin : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void showRegisterFillsTheForm();
    void closeHidesAndNextRegisterReopens();
    void decimalToHex_data();
    void decimalToHex();
    void hexToDecimal_data();
    void hexToDecimal();
    void emptiedFieldsConvertNothing();
    void rangeColour_data();
    void rangeColour();
    void blanksAroundTheDecimalAreIgnored();
    void writeSendsTheFrame();
    void writtenValue_data();
    void writtenValue();
    void refusedValues_data();
    void refusedValues();
    void redBorderLastsUntilTheValueIsValid();
    void unconvertibleHexIsNeverWritten();
    void outOfRangeIsWrittenOnlyWhenConfirmed();
    void fieldsFollowEachOtherWhileTyped();
    void typedValueRoundTrip_data();
    void typedValueRoundTrip();
    void scaledRangeIsInShownUnits();
    void stateChoiceAndBitTicks();
    void typedBitNamesKeepTheUnnamedBits();
    void writeFunction16ForSingleRegisters();
    void refusalSaysWhyAndEditorFitsEachRegister();
};

void TestValueEditWin::construction()
{
    ValueEditWin window;
    QCOMPARE(window.minimumSize(), QSize(384, 254));
    QCOMPARE(window.maximumSize(), QSize(384, 254));
    QCOMPARE(window.windowType(), Qt::Dialog);
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(!window.isVisible());
}

void TestValueEditWin::showRegisterFillsTheForm()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(runCurrent(), 0, 1);

    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Run current"));
    QCOMPARE(form.index->text(), QStringLiteral("0x0010"));
    QCOMPARE(form.range->text(), QStringLiteral("0~1000"));
    QCOMPARE(form.dec->text(), QStringLiteral("100"));
    QCOMPARE(form.hex->text(), QStringLiteral("0x0064"));
    QCOMPARE(form.range->styleSheet(), normalStyle);
}

void TestValueEditWin::closeHidesAndNextRegisterReopens()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(runCurrent(), 0, 1);
    window.move(120, 80);
    const QPoint placed = window.pos();

    RegisterInfo speed = withRange(0, 3000, QStringLiteral("600"));
    speed.name = QStringLiteral("Speed");
    window.showRegister(speed, 1, 1);
    QCOMPARE(window.pos(), placed);
    QCOMPARE(window.windowTitle(), QStringLiteral("Speed"));
    QCOMPARE(form.hex->text(), QStringLiteral("0x0258"));

    QTest::mouseClick(form.close, Qt::LeftButton);
    QVERIFY(!window.isVisible());

    window.showRegister(runCurrent(), 0, 1);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Run current"));
}

void TestValueEditWin::decimalToHex_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("hex");
    QTest::newRow("one digit padded") << "5" << "0x0005";
    QTest::newRow("one byte") << "255" << "0x00FF";
    QTest::newRow("three digits padded") << "256" << "0x0100";
    QTest::newRow("four digits") << "4096" << "0x1000";
    QTest::newRow("largest register value") << "65535" << "0xFFFF";
    QTest::newRow("zero") << "0" << "0x0000";
    QTest::newRow("letters claim no value") << "abc" << "";
    QTest::newRow("past a register claims no value") << "65536" << "";
}

void TestValueEditWin::decimalToHex()
{
    QFETCH(QString, typed);
    QFETCH(QString, hex);
    ValueEditWin window;
    Form form(window);
    window.showRegister(withRange(0, 65535, QStringLiteral("7")), 0, 1);

    enter(form.dec, typed);
    QCOMPARE(form.hex->text(), hex);
    QCOMPARE(form.dec->text(), typed);
}

void TestValueEditWin::hexToDecimal_data()
{
    QTest::addColumn<QString>("shownDec");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("dec");
    QTest::addColumn<QString>("hex");
    QTest::newRow("upper case") << "7" << "A" << "10" << "0x000A";
    QTest::newRow("lower case") << "7" << "a" << "10" << "0x000A";
    QTest::newRow("0x prefix") << "7" << "0xA" << "10" << "0x000A";
    QTest::newRow("two bytes") << "7" << "FFFF" << "65535" << "0xFFFF";
    QTest::newRow("blanks between bytes") << "7" << "0F A0" << "4000" << "0x0FA0";
    QTest::newRow("not hex leaves the decimal") << "7" << "zz" << "7" << "zz";
    QTest::newRow("beyond FFFF leaves the decimal") << "7" << "10000" << "7" << "10000";
    QTest::newRow("same value keeps the hex as typed") << "10" << "A" << "10" << "A";
}

void TestValueEditWin::hexToDecimal()
{
    QFETCH(QString, shownDec);
    QFETCH(QString, typed);
    QFETCH(QString, dec);
    QFETCH(QString, hex);
    ValueEditWin window;
    Form form(window);
    window.showRegister(withRange(0, 65535, shownDec), 0, 1);

    enter(form.hex, typed);
    QCOMPARE(form.dec->text(), dec);
    QCOMPARE(form.hex->text(), hex);
}

void TestValueEditWin::emptiedFieldsConvertNothing()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(withRange(0, 50), 0, 1);
    QCOMPARE(form.range->styleSheet(), warningStyle);

    enter(form.hex, QString());
    QCOMPARE(form.dec->text(), QStringLiteral("100"));
    QCOMPARE(form.range->styleSheet(), warningStyle);

    enter(form.hex, QStringLiteral("64"));
    enter(form.dec, QString());
    QCOMPARE(form.hex->text(), QStringLiteral("0x0064"));
    QCOMPARE(form.range->styleSheet(), normalStyle);

    enter(form.dec, QStringLiteral("   "));
    QCOMPARE(form.hex->text(), QStringLiteral("0x0064"));
}

void TestValueEditWin::rangeColour_data()
{
    QTest::addColumn<qint32>("min");
    QTest::addColumn<qint32>("max");
    QTest::addColumn<bool>("inHex");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("warned");
    QTest::newRow("inside") << 1 << 1000 << false << "500" << false;
    QTest::newRow("at min") << 1 << 1000 << false << "1" << false;
    QTest::newRow("at max") << 1 << 1000 << false << "1000" << false;
    QTest::newRow("below min") << 1 << 1000 << false << "0" << true;
    QTest::newRow("above max") << 1 << 1000 << false << "1001" << true;
    QTest::newRow("letters are zero, below min") << 1 << 1000 << false << "abc" << true;
    QTest::newRow("negative min compares signed") << -10 << 10 << false << "-5" << false;
    QTest::newRow("below negative min") << -10 << 10 << false << "-11" << true;
    QTest::newRow("no range given, non-zero") << 0 << 0 << false << "5" << true;
    QTest::newRow("no range given, zero") << 0 << 0 << false << "0" << false;
    QTest::newRow("through the hex field") << 1 << 1000 << true << "3e9" << true;
}

// Each row starts from a warning, so a correct value must also turn it back.
void TestValueEditWin::rangeColour()
{
    QFETCH(qint32, min);
    QFETCH(qint32, max);
    QFETCH(bool, inHex);
    QFETCH(QString, typed);
    QFETCH(bool, warned);
    ValueEditWin window;
    Form form(window);
    window.showRegister(withRange(min, max, QStringLiteral("70000")), 0, 1);
    QCOMPARE(form.range->styleSheet(), warningStyle);

    enter(inHex ? form.hex : form.dec, typed);
    QCOMPARE(form.range->styleSheet(), warned ? warningStyle : normalStyle);
}

void TestValueEditWin::blanksAroundTheDecimalAreIgnored()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(withRange(42, 42, QStringLiteral("7")), 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    enter(form.dec, QStringLiteral(" 42 "));
    QCOMPARE(form.hex->text(), QStringLiteral("0x002A"));
    QCOMPARE(form.range->styleSheet(), normalStyle);

    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.at(0).at(1).toByteArray().mid(4, 2), QByteArray::fromHex("002a"));
    QCOMPARE(form.dec->text(), QStringLiteral(" 42 "));
}

void TestValueEditWin::writeSendsTheFrame()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(withRange(0, 1000, QStringLiteral("7")), 3, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    // Typed but never confirmed with Enter: the button reads the field itself.
    retype(form.dec, QStringLiteral("100"));
    QTest::mouseClick(form.write, Qt::LeftButton);

    QCOMPARE(written.count(), 1);
    QCOMPARE(written.at(0).at(0).toInt(), 3);
    QCOMPARE(written.at(0).at(1).toByteArray(), QByteArray::fromHex("01060010006489e4"));
    QVERIFY(window.isVisible());
    QCOMPARE(form.dec->styleSheet(), QString());
}

void TestValueEditWin::writtenValue_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("valueBytes");
    QTest::newRow("zero") << "0" << QByteArray::fromHex("0000");
    QTest::newRow("largest") << "65535" << QByteArray::fromHex("ffff");
    QTest::newRow("above the range max") << "1001" << QByteArray::fromHex("03e9");
}

void TestValueEditWin::writtenValue()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, valueBytes);
    ValueEditWin window;
    Form form(window);
    window.showRegister(runCurrent(), 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    enter(form.dec, typed);
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.at(0).at(1).toByteArray().mid(4, 2), valueBytes);
}

void TestValueEditWin::refusedValues_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks only") << "   ";
    QTest::newRow("negative") << "-1";
    QTest::newRow("one past 16 bits") << "65536";
    QTest::newRow("letters") << "abc";
    QTest::newRow("fraction") << "1.5";
}

void TestValueEditWin::refusedValues()
{
    QFETCH(QString, typed);
    ValueEditWin window;
    Form form(window);
    window.showRegister(runCurrent(), 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    retype(form.dec, typed);
    // Refused as typed, with the reason, and no stale hexadecimal beside it.
    if (!typed.trimmed().isEmpty()) {
        QCOMPARE(form.dec->styleSheet(), redBorder);
        QCOMPARE(form.dec->toolTip(), QStringLiteral("须为 0 … 65535 的整数"));
        QCOMPARE(form.hex->text(), QString());
    }
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 0);
    QCOMPARE(form.dec->styleSheet(), redBorder);
    QVERIFY(window.isVisible());
}

void TestValueEditWin::redBorderLastsUntilTheValueIsValid()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(runCurrent(), 0, 1);
    retype(form.dec, QStringLiteral("abc"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(form.dec->styleSheet(), redBorder);

    retype(form.dec, QStringLiteral("-3"));
    QCOMPARE(form.dec->styleSheet(), redBorder);

    retype(form.dec, QStringLiteral("12"));
    QCOMPARE(form.dec->styleSheet(), QString());

    // A value that arrives through the hex field clears it as well.
    retype(form.dec, QStringLiteral("x"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(form.dec->styleSheet(), redBorder);
    enter(form.hex, QStringLiteral("A"));
    QCOMPARE(form.dec->text(), QStringLiteral("10"));
    QCOMPARE(form.dec->styleSheet(), QString());
}

void TestValueEditWin::unconvertibleHexIsNeverWritten()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(runCurrent(), 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    for (const QString &typed : {QStringLiteral("zz12"), QStringLiteral("0x"), QStringLiteral("12 zz")}) {
        enter(form.hex, typed);
        QCOMPARE(form.hex->styleSheet(), redBorder);
        QCOMPARE(form.dec->text(), QStringLiteral("100"));
        QTest::mouseClick(form.write, Qt::LeftButton);
        QCOMPARE(written.count(), 0);
    }

    enter(form.hex, QStringLiteral("0F A0"));
    QCOMPARE(form.hex->styleSheet(), QString());
    QCOMPARE(form.dec->text(), QStringLiteral("4000"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.at(0).at(1).toByteArray().mid(4, 2), QByteArray::fromHex("0fa0"));

    // Refusals made for one register are gone when the next one opens, even
    // when its value as loaded is not decimal.
    enter(form.hex, QStringLiteral("zz"));
    retype(form.dec, QStringLiteral("abc"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    RegisterInfo next = runCurrent();
    next.valueText = QStringLiteral("0x0064");
    window.showRegister(next, 1, 1);
    QCOMPARE(form.dec->styleSheet(), QString());
    QCOMPARE(form.hex->styleSheet(), QString());
}

void TestValueEditWin::outOfRangeIsWrittenOnlyWhenConfirmed()
{
    ValueEditWin window;
    Form form(window);
    RegisterInfo info = runCurrent();
    info.hasRange = true;
    window.showRegister(info, 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    enter(form.dec, QStringLiteral("1001"));
    {
        QuestionAnswer no(QMessageBox::No);
        QTest::mouseClick(form.write, Qt::LeftButton);
        QCOMPARE(no.defaultButton, QMessageBox::No);
    }
    QCOMPARE(written.count(), 0);
    {
        QuestionAnswer yes(QMessageBox::Yes);
        QTest::mouseClick(form.write, Qt::LeftButton);
        QCOMPARE(yes.defaultButton, QMessageBox::No);
    }
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.at(0).at(1).toByteArray().mid(4, 2), QByteArray::fromHex("03e9"));

    // Inside the range nothing is asked.
    enter(form.dec, QStringLiteral("1000"));
    QuestionAnswer unasked(QMessageBox::No);
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(unasked.defaultButton, QMessageBox::NoButton);
    QCOMPARE(written.count(), 2);
}

// Neither field waits for the focus to move: 写入 writes what both show,
// and refuses when they could disagree.
void TestValueEditWin::fieldsFollowEachOtherWhileTyped()
{
    ValueEditWin window;
    Form form(window);
    RegisterInfo info = runCurrent();
    info.hasRange = true;
    info.rangeMin = 0;
    info.rangeMax = 65535;
    window.showRegister(info, 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    retype(form.hex, QStringLiteral("7d0"));
    QCOMPARE(form.dec->text(), QStringLiteral("2000"));
    QCOMPARE(form.hex->text(), QStringLiteral("7d0"));
    retype(form.dec, QStringLiteral("70000"));
    QCOMPARE(form.hex->text(), QString());
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 0);

    retype(form.dec, QStringLiteral("1500"));
    QCOMPARE(form.hex->text(), QStringLiteral("0x05DC"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 1);
    QCOMPARE(written.last().at(1).toByteArray().mid(4, 2), QByteArray::fromHex("05dc"));

    // Hex typed on from a value passes through others; once it is no value
    // the decimal shows what it showed before, and nothing is written.
    retype(form.hex, QStringLiteral("12c"));
    QCOMPARE(form.dec->text(), QStringLiteral("300"));
    QTest::keyClicks(form.hex, QStringLiteral("zz"));
    QCOMPARE(form.dec->text(), QStringLiteral("1500"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 1);

    // Fields set apart by the program, not by typing, are not written.
    form.hex->setText(QStringLiteral("05dc"));
    form.dec->setText(QStringLiteral("300"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(written.count(), 1);
    QCOMPARE(form.hex->styleSheet(), redBorder);
}

void TestValueEditWin::typedValueRoundTrip_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QByteArray>("frame");  // empty: refused with the red border
    QTest::newRow("s16 lowest") << "type:s16" << "-32768" << "0x8000" << QByteArray("010600188000");
    QTest::newRow("s16 highest") << "type:s16" << "32767" << "0x7FFF" << QByteArray("010600187fff");
    QTest::newRow("s16 one below") << "type:s16" << "-32769" << "" << QByteArray();
    QTest::newRow("scaled, exact") << "scale:0.1,unit:V" << "12.3 V" << "0x007B" << QByteArray("01060018007b");
    QTest::newRow("scaled, finer than the scale") << "scale:0.1" << "12.34" << "" << QByteArray();
    QTest::newRow("unsigned scaled, negative") << "scale:0.1" << "-0.1" << "" << QByteArray();
    QTest::newRow("s32 high word first") << "type:s32" << "-1200" << "0xFFFF 0xFB50"
                                         << QByteArray("01100018000204fffffb50");
    QTest::newRow("s32 low word first") << "type:s32,wordOrder:lh" << "-1200" << "0xFB50 0xFFFF"
                                        << QByteArray("01100018000204fb50ffff");
    QTest::newRow("u32 highest") << "type:u32" << "4294967295" << "0xFFFF 0xFFFF"
                                 << QByteArray("01100018000204ffffffff");
    QTest::newRow("u32 one past") << "type:u32" << "4294967296" << "" << QByteArray();
}

// What is typed in shown units reaches the frame as the register's words;
// what the type or the scale cannot hold exactly is never written.
void TestValueEditWin::typedValueRoundTrip()
{
    QFETCH(QString, keys);
    QFETCH(QString, typed);
    QFETCH(QString, hex);
    QFETCH(QByteArray, frame);
    ValueEditWin window;
    Form form(window);
    window.showRegister(typedRegister(keys, QStringLiteral("0x0000"), QStringLiteral("-1~1")), 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    enter(form.dec, typed);
    QuestionAnswer yes(QMessageBox::Yes);
    QTest::mouseClick(form.write, Qt::LeftButton);
    if (frame.isEmpty()) {
        QCOMPARE(written.count(), 0);
        QCOMPARE(form.dec->styleSheet(), redBorder);
        return;
    }
    QCOMPARE(form.hex->text(), hex);
    QCOMPARE(written.count(), 1);
    QCOMPARE(writtenFrame(written), frame);

    // The hexadecimal field takes the words back to the same value.
    enter(form.dec, QStringLiteral("0"));
    enter(form.hex, hex);
    QCOMPARE(form.dec->text(), QString(typed).remove(QStringLiteral(" V")));
}

void TestValueEditWin::scaledRangeIsInShownUnits()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(typedRegister(QStringLiteral("scale:0.1,unit:V"), QStringLiteral("0x01E0"),
                                      QStringLiteral("0~50.0")), 0, 1);
    QCOMPARE(form.dec->text(), QStringLiteral("48.0"));
    QCOMPARE(form.range->text(), QStringLiteral("0~50.0 V"));
    QCOMPARE(form.range->styleSheet(), normalStyle);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);

    enter(form.dec, QStringLiteral("50.1"));
    QCOMPARE(form.range->styleSheet(), warningStyle);
    QuestionAnswer no(QMessageBox::No);
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(no.defaultButton, QMessageBox::No);
    QCOMPARE(written.count(), 0);
    enter(form.dec, QStringLiteral("50.0"));
    QCOMPARE(form.range->styleSheet(), normalStyle);
}

// Choosing a state writes its number; ticking named bits keeps the bits
// without a name as they were read.
void TestValueEditWin::stateChoiceAndBitTicks()
{
    ValueEditWin window;
    Form form(window);
    auto *states = window.findChild<QComboBox *>("comboBox_state");
    window.showRegister(typedRegister(QStringLiteral("enum:0=无报警;1=过流;2=过压"), QStringLiteral("0x0001")), 0, 1);
    QVERIFY(states->isVisible());
    QCOMPARE(states->count(), 3);
    QCOMPARE(states->currentText(), QStringLiteral("过流 (1)"));
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);
    states->setCurrentIndex(2);
    emit states->activated(2);
    QCOMPARE(form.dec->text(), QStringLiteral("2"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(writtenFrame(written), QByteArray("010600180002"));

    window.showRegister(typedRegister(QStringLiteral("bits:0=使能;1=运行;2=报警"), QStringLiteral("0x0083"),
                                      QStringLiteral("0~65535")), 0, 1);
    QVERIFY(!states->isVisible());
    const QList<QCheckBox *> ticks = window.findChildren<QCheckBox *>();
    QCOMPARE(ticks.size(), 3);
    QList<bool> shown;
    for (QCheckBox *tick : ticks)
        shown << tick->isChecked();
    QCOMPARE(shown, (QList<bool>{true, true, false}));
    QTest::mouseClick(ticks.at(0), Qt::LeftButton);
    QTest::mouseClick(ticks.at(2), Qt::LeftButton);
    QCOMPARE(form.hex->text(), QStringLiteral("0x0086"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(writtenFrame(written), QByteArray("010600180086"));

    // Typing the value ticks the boxes it names.
    enter(form.dec, QStringLiteral("4"));
    QVERIFY(!ticks.at(0)->isChecked() && !ticks.at(1)->isChecked() && ticks.at(2)->isChecked());
}

// Typed names change the named bits of the value as read, as ticks do:
// the unnamed bits 15 and 2 of 0x8004 stay set.
void TestValueEditWin::typedBitNamesKeepTheUnnamedBits()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(typedRegister(QStringLiteral("bits:0=使能;1=运行"), QStringLiteral("0x8004"),
                                      QStringLiteral("0~65535")), 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);
    // Key clicks carry no Chinese: the names are pasted in.
    const auto enter = [](QLineEdit *field, const QString &text) {
        field->setText(text);
        emit field->editingFinished();
    };
    enter(form.dec, QStringLiteral("使能"));
    QCOMPARE(form.hex->text(), QStringLiteral("0x8005"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(writtenFrame(written), QByteArray("010600188005"));
    // The written value is the new base: 运行 alone clears 使能.
    enter(form.dec, QStringLiteral("运行"));
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(writtenFrame(written), QByteArray("010600188006"));
    enter(form.dec, QStringLiteral("运行|停止"));
    QCOMPARE(form.dec->styleSheet(), redBorder);
}

void TestValueEditWin::writeFunction16ForSingleRegisters()
{
    ValueEditWin window;
    Form form(window);
    window.setWriteFunction(16);
    window.showRegister(runCurrent(), 0, 1);
    QSignalSpy written(&window, &ValueEditWin::writeCurrentValue);
    QTest::mouseClick(form.write, Qt::LeftButton);
    QCOMPARE(writtenFrame(written), QByteArray("011000100001020064"));
}

// A refused value says why and leaves no stale hexadecimal claim behind;
// a bits editor opened after a plain one shows its ticks, whole.
void TestValueEditWin::refusalSaysWhyAndEditorFitsEachRegister()
{
    ValueEditWin window;
    Form form(window);
    window.showRegister(typedRegister(QStringLiteral("type:s16,scale:0.5,unit:°"), QStringLiteral("0xFFA6"),
                                      QStringLiteral("-100~100")),
                        0, 1);
    QCOMPARE(form.hex->text(), QStringLiteral("0xFFA6"));
    retype(form.dec, QStringLiteral("-45.3"));
    QCOMPARE(form.dec->styleSheet(), redBorder);
    QCOMPARE(form.dec->toolTip(), QStringLiteral("须为 0.5 ° 的整数倍"));
    QCOMPARE(form.hex->text(), QString());
    retype(form.dec, QStringLiteral("-45.5"));
    QCOMPARE(form.dec->toolTip(), QString());
    QCOMPARE(form.hex->text(), QStringLiteral("0xFFA5"));

    window.showRegister(runCurrent(), 0, 1);
    const QSize plain = window.size();
    window.showRegister(typedRegister(QStringLiteral("bits:0=a;1=b;2=c;3=d;4=e;5=f;6=g;7=h;8=i;9=j"),
                                      QStringLiteral("0x0003")),
                        0, 1);
    auto *bits = window.findChild<QGroupBox *>(QStringLiteral("groupBox_bits"));
    const QList<QCheckBox *> ticks = bits->findChildren<QCheckBox *>();
    QCOMPARE(ticks.size(), 10);
    QVERIFY(bits->isVisible());
    for (QCheckBox *tick : ticks)
        QVERIFY2(bits->rect().contains(tick->geometry()) && tick->isVisible(), qPrintable(tick->text()));
    QVERIFY(window.height() > plain.height());
    window.showRegister(runCurrent(), 0, 1);
    QCOMPARE(window.size(), plain);
}

QTEST_MAIN(TestValueEditWin)
#include "tst_valueeditwin.moc"
