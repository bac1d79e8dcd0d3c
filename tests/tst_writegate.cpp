#include <QRandomGenerator>
#include <QtTest>

#include "support/workfolder.h"

#include "paramsets/restoreplan.h"
#include "paramsets/writegate.h"
#include "registermap/registerframes.h"
#include "registermap/registermap.h"

namespace {

constexpr quint16 factoryReset = 0x5AA5;

// The kinds of line a random map puts at an address, and what the test
// itself knows of each, apart from the code under test.
// A misspelt key makes a line unusable; what it says against writing holds.
enum class LineKind { Setting, Identity, Serial, DangerCommand, SaveTwin, ReadOnly, MisspeltDanger };

QString lineText(quint16 address, LineKind kind)
{
    const QString head = QStringLiteral("indexes:0x%1,defaultValue:0x0000,remarks:,").arg(address, 4, 16, QLatin1Char('0'));
    switch (kind) {
    case LineKind::Setting: return head + QStringLiteral("permission:RW,rangeValue:10~100,name:Setting");
    case LineKind::Identity: return head + QStringLiteral("permission:RW,rangeValue:0~65535,name:Model,role:identity");
    case LineKind::Serial: return head + QStringLiteral("permission:R,rangeValue:0~65535,name:Serial,role:serial");
    case LineKind::DangerCommand:
        return head + QStringLiteral("permission:W,rangeValue:0~65535,name:Reset,command:Reset%1=0x5AA5,danger:Reset%1")
                          .arg(address);
    case LineKind::SaveTwin:
        return head + QStringLiteral("permission:W,rangeValue:0~65535,name:Store,command:Store%1=0x5AA5,save:Store%1")
                          .arg(address);
    case LineKind::ReadOnly: return head + QStringLiteral("permission:R,rangeValue:0~65535,name:Status");
    case LineKind::MisspeltDanger:
        return head + QStringLiteral("permission:W,rangeValue:0~65535,name:Wipe,command:Wipe%1=0x5AA5,danger:Wipe%1,"
                                     "colour:red").arg(address);
    }
    return QString();
}

struct RandomMap
{
    QMultiHash<quint16, LineKind> kinds;
    RegisterMap map;

    bool has(quint16 address, LineKind kind) const { return kinds.values(address).contains(kind); }
    bool danger(quint16 address) const
    {
        return has(address, LineKind::DangerCommand) || has(address, LineKind::MisspeltDanger);
    }
    bool namesDriver(quint16 address) const
    {
        return has(address, LineKind::Identity) || has(address, LineKind::Serial);
    }
};

RandomMap randomMap(QRandomGenerator &random)
{
    RandomMap made;
    QStringList lines{QStringLiteral("slaveAddress:1,txTime:100,rxOutTime:1000")};
    for (quint16 address = 0x10; address < 0x18; ++address) {
        const int count = 1 + random.bounded(3);
        for (int i = 0; i < count; ++i) {
            const auto kind = LineKind(random.bounded(7));
            made.kinds.insert(address, kind);
            lines << lineText(address, kind);
        }
    }
    WorkFolder folder(lines.join(QLatin1Char('\n')).toUtf8());
    loadRegisterMap(folder.path() + QStringLiteral("/RegisterInfo"), &made.map);
    return made;
}

const WriteOrigin everyOrigin[] = {WriteOrigin::Editor,     WriteOrigin::Restore, WriteOrigin::Undo,
                                   WriteOrigin::Compare,    WriteOrigin::BusRestore, WriteOrigin::Command,
                                   WriteOrigin::SaveQuestion, WriteOrigin::HandFrame, WriteOrigin::TestMove};

WriteConsent randomConsent(QRandomGenerator &random)
{
    WriteConsent consent;
    consent.danger = random.bounded(2);
    consent.outOfRange = random.bounded(2);
    consent.writeOnly = random.bounded(2);
    consent.identity = random.bounded(2);
    return consent;
}

} // namespace

class TestWriteGate : public QObject
{
    Q_OBJECT

private slots:
    void noDangerOrIdentityWriteWithoutItsConfirmation();
    void restorePlanNeverWritesWhatTheGateForbids();
    void onlyTheTestRunSetsTheMotorGoing();
};

// Whatever lines a map gives an address, in whatever order, and whatever
// asks: a danger command's value passes only with its own confirmation (the
// save question never sends it), and a row that names the driver is written
// by nothing but a hand-typed frame the user confirmed.
void TestWriteGate::noDangerOrIdentityWriteWithoutItsConfirmation()
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 200; ++round) {
        const RandomMap made = randomMap(random);
        QCOMPARE(made.map.skippedLines + made.map.formatProblems, 0);
        const WriteGate gate(made.map.registers);
        for (quint16 address = 0x10; address < 0x18; ++address) {
            for (const qint64 value : {qint64(factoryReset), qint64(5), qint64(50)}) {
                for (const WriteOrigin origin : everyOrigin) {
                    const WriteConsent consent = randomConsent(random);
                    RegisterInfo row;
                    row.address = address;
                    row.value = quint16(value);
                    const QByteArray frame = writeRowCmd(1, row, random.bounded(2) ? 6 : 16);
                    const bool allowed = gate.judge(origin, address, value, consent).allowed();
                    const bool frameAllowed = gate.judgeFrame(origin, frame, consent).allowed();
                    const QString where = QStringLiteral("round %1, 0x%2 = %3, origin %4: %5")
                                              .arg(round).arg(address, 0, 16).arg(value).arg(int(origin))
                                              .arg(made.kinds.values(address).size());
                    QVERIFY2(allowed == frameAllowed, qPrintable(where));
                    const bool danger = value == factoryReset && made.danger(address);
                    if (danger && (!consent.danger || origin == WriteOrigin::SaveQuestion))
                        QVERIFY2(!allowed, qPrintable(QStringLiteral("danger value passed: ") + where));
                    if (made.namesDriver(address) && (origin != WriteOrigin::HandFrame || !consent.identity))
                        QVERIFY2(!allowed, qPrintable(QStringLiteral("identity row written: ") + where));
                    const QList<LineKind> kinds = made.kinds.values(address);
                    const bool setting = kinds.count(LineKind::Setting) == kinds.size();
                    if (setting && value == 50 && origin != WriteOrigin::HandFrame)
                        QVERIFY2(allowed, qPrintable(QStringLiteral("plain setting refused: ") + where + QLatin1Char(' ')
                                                     + gate.judge(origin, address, value, consent).reason));
                }
            }
        }
    }
}

// The plan the command line, the bus run and the comparison share: every
// row of the file set to the danger value, with --include-write-only for
// all, writes no danger value without --yes and no identity row at all.
void TestWriteGate::restorePlanNeverWritesWhatTheGateForbids()
{
    QRandomGenerator random(35);
    for (int round = 0; round < 200; ++round) {
        const RandomMap made = randomMap(random);
        ParameterFile file;
        RowValues driver;
        RestoreChoices choices;
        choices.allowOutOfRange = random.bounded(2);
        choices.confirmDanger = random.bounded(2);
        choices.ignoreIdentity = true;
        for (quint16 address = 0x10; address < 0x18; ++address) {
            ParameterEntry entry;
            entry.address = address;
            entry.value = random.bounded(2) ? factoryReset : 5;
            file.entries << entry;
            driver.insert(address, 50);
            choices.includeWriteOnly.insert(address);
        }
        const RestorePlan plan(made.map.registers, file, driver, choices);
        for (const ParameterEntry &write : plan.writes()) {
            const QString where = QStringLiteral("round %1, 0x%2").arg(round).arg(write.address, 0, 16);
            QVERIFY2(!made.namesDriver(write.address), qPrintable(where));
            if (write.value == factoryReset && made.danger(write.address))
                QVERIFY2(choices.confirmDanger, qPrintable(where));
            if (write.value == 5 && made.has(write.address, LineKind::Setting))
                QVERIFY2(choices.allowOutOfRange, qPrintable(where));
        }
    }
}

// A restored file, an edit or a typed frame that set the motor going would
// leave it running with no dead-man; stopping it is anybody's.
void TestWriteGate::onlyTheTestRunSetsTheMotorGoing()
{
    WorkFolder folder(QByteArrayLiteral(
        "slaveAddress:1,txTime:100,rxOutTime:1000\n"
        "indexes:0x0050,permission:RW,defaultValue:0x0000,rangeValue:-3000~3000,name:Jog,remarks:,type:s16,role:jog\n"
        "indexes:0x005B,permission:W,defaultValue:0x0000,rangeValue:0~1,name:Go,remarks:,command:Go=1,role:move\n"
        "indexes:0x005C,permission:W,defaultValue:0x0000,rangeValue:0~1,name:Halt,remarks:,command:Halt=1,role:stop"));
    RegisterMap map;
    loadRegisterMap(folder.path() + QStringLiteral("/RegisterInfo"), &map);
    const WriteGate gate(map.registers);
    WriteConsent all;
    for (Confirmation confirmation : {Confirmation::Danger, Confirmation::OutOfRange, Confirmation::WriteOnly})
        all.give(confirmation);
    const QByteArray typedJog = QByteArray::fromHex("0110005000010200C8");
    for (const WriteOrigin origin : everyOrigin) {
        const bool testMove = origin == WriteOrigin::TestMove;
        const QString where = QStringLiteral("origin %1").arg(int(origin));
        QVERIFY2(gate.judge(origin, 0x50, -200, all).allowed() == testMove, qPrintable(where));
        QVERIFY2(gate.judge(origin, 0x5B, 1, all).allowed() == testMove, qPrintable(where));
        QVERIFY2(gate.judgeFrame(origin, typedJog, all).allowed() == testMove, qPrintable(where));
        QVERIFY2(gate.judge(origin, 0x50, 0, all).allowed(), qPrintable(where));
        QVERIFY2(gate.judge(origin, 0x5C, 1, all).allowed(), qPrintable(where));
    }
}

QTEST_MAIN(TestWriteGate)
#include "tst_writegate.moc"
